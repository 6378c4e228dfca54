#include "dialogs/CDialogValueBase.h"

#include "faults/FaultGuard.h"
#include "frame/DialogFrameCommands.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "dialogs/CDialogCertificate.h"
#include "services/DialogService.h"
#include "values/CValuePreview.h"
#include "views/CListEntryAttributes.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>
#include <new>

using ldapmodel::LDAPAttributeValue;
using memorylib::gc_ptr;

namespace {

ui::FileDialogRequest allFilesRequest()
{
    ui::FileDialogRequest request;
    request.filters << QStringLiteral("All Files (*.*)");
    request.kind = ui::FileDialogRequest::kValueFiles;
    return request;
}

} // namespace

CDialogValueBase::CDialogValueBase(const QString& title, bool withSaveButton,
                                   const wchar_t* guardName, QWidget* parent)
    : QDialog(parent), m_pGuardName(guardName)
{
    setWindowTitle(title);
    setModal(true);

    auto* valueCaption = new QLabel(QStringLiteral("Attribute Value"), this);
    auto* nameCaption = new QLabel(QStringLiteral("Attribute name:"), this);
    m_pNameLabel = new QLabel(this);
    m_pNameLabel->setTextFormat(Qt::PlainText);
    m_pValueEdit = new QLineEdit(this);
    // The edit box would cut a value at its default 32767 characters.
    m_pValueEdit->setMaxLength(std::numeric_limits<int>::max());
    valueCaption->setBuddy(m_pValueEdit);
    m_pLoadButton = new QPushButton(QStringLiteral("&Binary or text load from file"), this);
    m_pLoadButton->setAutoDefault(false);
    if (withSaveButton) {
        m_pSaveButton = new QPushButton(QStringLiteral("&Save Value to File"), this);
        m_pSaveButton->setAutoDefault(false);
    }
    m_pOkButton = new QPushButton(QStringLiteral("OK"), this);
    m_pOkButton->setDefault(true);
    m_pCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancelButton->setAutoDefault(false);
    m_pPreview = new CValuePreview(this);
    m_pPreview->setNotice(CListEntryAttributes::binaryNotice());
    m_pPreview->setVisible(false);

    auto* grid = new QGridLayout;
    grid->addWidget(nameCaption, 0, 0);
    grid->addWidget(m_pNameLabel, 0, 1);
    grid->addWidget(valueCaption, 1, 0);
    grid->addWidget(m_pValueEdit, 1, 1);
    auto* fileButtons = new QHBoxLayout;
    fileButtons->addWidget(m_pLoadButton);
    if (m_pSaveButton != nullptr)
        fileButtons->addWidget(m_pSaveButton);
    fileButtons->addStretch(1);
    grid->addLayout(fileButtons, 2, 1);
    grid->addWidget(m_pPreview, 3, 1);
    grid->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pOkButton);
    buttons->addWidget(m_pCancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    resize(ui::dialogUnits(*this, 304, 73).expandedTo(sizeHint()));

    connect(m_pLoadButton, &QPushButton::clicked, this, [this]() { OnLoadFromFile(); });
    if (m_pSaveButton != nullptr)
        connect(m_pSaveButton, &QPushButton::clicked, this, [this]() { saveFileValue(); });
    connect(m_pOkButton, &QPushButton::clicked, this, &CDialogValueBase::accept);
    connect(m_pCancelButton, &QPushButton::clicked, this, &CDialogValueBase::reject);
    connect(m_pPreview, &CValuePreview::certificateRequested, this, [this]() {
        if (m_pFileValue.getObject() != nullptr)
            CDialogCertificate::showValue(this, *m_pFileValue);
    });

    setBinary(false);
}

CDialogValueBase::~CDialogValueBase() = default;

void CDialogValueBase::setAttributeName(const std::wstring& name)
{
    m_strAttributeName = name;
    m_pNameLabel->setText(QString::fromStdWString(name));
    updatePreview();
}

void CDialogValueBase::setBinary(bool binary)
{
    m_bBinary = binary;
    m_pValueEdit->setVisible(!binary);
    m_pLoadButton->setVisible(binary);
    if (m_pSaveButton != nullptr)
        m_pSaveButton->setVisible(binary);
    m_pPreview->setVisible(binary);
    updatePreview();
    if (!binary)
        focusEdit();
}

void CDialogValueBase::updatePreview()
{
    if (m_bBinary)
        m_pPreview->showValue(m_strAttributeName, m_pFileValue.getObject());
}

void CDialogValueBase::focusEdit()
{
    if (m_bBinary)
        return;
    m_pValueEdit->setFocus(Qt::OtherFocusReason);
    m_pValueEdit->deselect();
    m_pValueEdit->end(false);
}

void CDialogValueBase::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Once the dialog is up, whatever focus the window gave first.
    QTimer::singleShot(0, this, [this]() { focusEdit(); });
}

void CDialogValueBase::setEditText(const std::wstring& text)
{
    m_pValueEdit->setText(QString::fromStdWString(text));
    m_pValueEdit->end(false);
}

gc_ptr<LDAPAttributeValue> CDialogValueBase::getAttributeValue() const
{
    return m_bBinary ? m_pFileValue : m_pTextValue;
}

int CDialogValueBase::OnLoadFromFile()
{
    DIRLOOK_GUARD(m_pGuardName);
    util::TraceScope trace(L"CDialogValueBase::OnLoadFromFile");
    std::optional<QString> path = ui::dialogs().getOpenFileName(this, allFilesRequest());
    if (!path) {
        m_bFileLoaded = false;
        return -1;
    }
    gc_ptr<LDAPAttributeValue> value = new LDAPAttributeValue();
    if (value->loadFromFile(path->toStdWString()) != 0) {
        m_bFileLoaded = false;
        return -1;
    }
    m_pValueEdit->setText(QString::fromStdWString(value->toString()));
    m_pFileValue = value;
    m_bFileLoaded = true;
    updatePreview();
    util::Log::getLog(L"ldapmodel")->write(L"CDialogValueBase::OnLoadFromFile %u bytes",
                                          value->getLength());
    return 0;
}

int CDialogValueBase::saveFileValue()
{
    DIRLOOK_GUARD(m_pGuardName);
    util::TraceScope trace(L"CDialogValueBase::saveFileValue");
    std::optional<QString> path = ui::dialogs().getSaveFileName(this, allFilesRequest());
    if (!path)
        return -1;
    if (m_pFileValue.getObject() == nullptr)
        return -1;
    return m_pFileValue->saveToFile(path->toStdWString()) == 0 ? 0 : -1;
}

void CDialogValueBase::accept()
{
    DIRLOOK_GUARD(m_pGuardName);
    util::TraceScope trace(L"CDialogValueBase::accept");
    m_strText = m_pValueEdit->text().toStdWString();
    if (m_bBinary) {
        // The loaded bytes count, not their text form: a file that starts
        // with a zero byte reads as empty text.
        if (m_bFileLoaded && m_pFileValue.getObject() != nullptr) {
            done(QDialog::Accepted);
            return;
        }
        if (m_strText.empty() || m_pFileValue.getObject() == nullptr) {
            m_bTextRead = false;
            done(QDialog::Rejected);
            return;
        }
        done(QDialog::Accepted);
        return;
    }
    if (m_strText.empty()) {
        m_bTextRead = false;
        done(QDialog::Rejected);
        return;
    }
    try {
        m_pTextValue = new LDAPAttributeValue(m_strText);
    } catch (const std::bad_alloc&) {
        m_bTextRead = false;
        done(QDialog::Rejected);
        return;
    }
    m_bTextRead = true;
    done(QDialog::Accepted);
}
