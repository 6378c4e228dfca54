#include "dialogs/CDialogEditInfo.h"

#include "faults/FaultGuard.h"
#include "frame/DialogFrameCommands.h"
#include "logging/Trace.h"
#include "utilities/Util.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

#include <cstdarg>
#include <string>

namespace {

// The edit box holds "\n" line ends.
QString plainLineEnds(const QString& text)
{
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return result;
}

} // namespace

CDialogEditInfo::CDialogEditInfo(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DialogEditInfo"));
    setWindowTitle(QStringLiteral("Dialog Edit Information"));
    setModal(true);

    m_pTitleLabel = new QLabel(QStringLiteral("Information title"), this);
    m_pTitleLabel->setTextFormat(Qt::PlainText);
    m_pEdit = new QPlainTextEdit(this);
    m_pEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pAddTestLineButton = new QPushButton(QStringLiteral("Add Test Line"), this);
    m_pAddTestLineButton->setAutoDefault(false);
    m_pOkButton = new QPushButton(QStringLiteral("OK"), this);
    m_pOkButton->setDefault(true);
    m_pCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancelButton->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pAddTestLineButton);
    buttons->addStretch(1);
    buttons->addWidget(m_pOkButton);
    buttons->addWidget(m_pCancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pTitleLabel);
    layout->addWidget(m_pEdit, 1);
    layout->addLayout(buttons);
    resize(ui::dialogUnits(*this, 349, 233).expandedTo(sizeHint()));

    connect(m_pAddTestLineButton, &QPushButton::clicked, this, &CDialogEditInfo::OnAddTestLine);
    connect(m_pOkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pCancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CDialogEditInfo::~CDialogEditInfo() = default;

void CDialogEditInfo::setText(const std::wstring& text)
{
    m_strText = text;
    m_pEdit->setPlainText(plainLineEnds(QString::fromStdWString(text)));
    scrollToEnd();
}

void CDialogEditInfo::setTitle(const std::wstring& title)
{
    m_strTitle = title;
    m_pTitleLabel->setText(QString::fromStdWString(title));
}

void CDialogEditInfo::appendLine(const wchar_t* format, ...)
{
    DIRLOOK_GUARD(L"DialogEditInfo");
    util::TraceScope trace(L"CDialogEditInfo::appendLine");
    if (format == nullptr)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::wstring line = util::formatWideV(format, arguments);
    va_end(arguments);
    if (line.size() > static_cast<std::size_t>(kLineBufferSize - 1))
        line.resize(kLineBufferSize - 1);
    insertAtEnd(plainLineEnds(QString::fromStdWString(line)));
}

void CDialogEditInfo::OnAddTestLine()
{
    appendLine(L"this is the new line %d\r\n", 5);
    scrollToEnd();
}

void CDialogEditInfo::insertAtEnd(const QString& text)
{
    QTextCursor cursor = m_pEdit->textCursor();
    cursor.movePosition(QTextCursor::End);
    m_pEdit->setTextCursor(cursor);
    m_pEdit->insertPlainText(text);
}

void CDialogEditInfo::scrollToEnd()
{
    QTextCursor cursor = m_pEdit->textCursor();
    cursor.movePosition(QTextCursor::End);
    m_pEdit->setTextCursor(cursor);
    m_pEdit->ensureCursorVisible();
    m_pEdit->verticalScrollBar()->setValue(m_pEdit->verticalScrollBar()->maximum());
}
