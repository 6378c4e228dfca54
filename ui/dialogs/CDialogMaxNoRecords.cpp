#include "dialogs/CDialogMaxNoRecords.h"

#include "faults/FaultGuard.h"
#include "logging/Log.h"
#include "logging/Trace.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

CDialogMaxNoRecords::CDialogMaxNoRecords(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DialogMaxNoRecords"));
    setWindowTitle(QStringLiteral("Timeout Rec Values"));
    setModal(true);

    m_pRecordsEdit = new QLineEdit(this);
    m_pSecondsEdit = new QLineEdit(this);
    auto* recordsLabel = new QLabel(QStringLiteral("Max number of records, 0 = no limit"), this);
    auto* secondsLabel = new QLabel(QStringLiteral("Max number of seconds, 0 = no limit"), this);
    recordsLabel->setBuddy(m_pRecordsEdit);
    secondsLabel->setBuddy(m_pSecondsEdit);
    m_pOkButton = new QPushButton(QStringLiteral("OK"), this);
    m_pOkButton->setDefault(true);
    m_pCancelButton = new QPushButton(QStringLiteral("Cancel"), this);

    auto* fields = new QGridLayout;
    fields->addWidget(recordsLabel, 0, 0);
    fields->addWidget(m_pRecordsEdit, 0, 1);
    fields->addWidget(secondsLabel, 1, 0);
    fields->addWidget(m_pSecondsEdit, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pOkButton);
    buttons->addWidget(m_pCancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(m_pOkButton, &QPushButton::clicked, this, &CDialogMaxNoRecords::accept);
    connect(m_pCancelButton, &QPushButton::clicked, this, &CDialogMaxNoRecords::reject);

    setMaxNoRecords(0);
    setMaxNoSeconds(0);
    focusRecords();
}

void CDialogMaxNoRecords::focusRecords()
{
    m_pRecordsEdit->setFocus(Qt::OtherFocusReason);
    m_pRecordsEdit->deselect();
    m_pRecordsEdit->end(false);
}

void CDialogMaxNoRecords::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Once the dialog is up, whatever focus the window gave first.
    QTimer::singleShot(0, this, [this]() { focusRecords(); });
}

CDialogMaxNoRecords::~CDialogMaxNoRecords() = default;

void CDialogMaxNoRecords::setMaxNoRecords(unsigned int records)
{
    m_uMaxNoRecords = records;
    m_pRecordsEdit->setText(QString::number(records));
    m_pRecordsEdit->end(false);
}

void CDialogMaxNoRecords::setMaxNoSeconds(unsigned int seconds)
{
    m_uMaxNoSeconds = seconds;
    m_pSecondsEdit->setText(QString::number(seconds));
    m_pSecondsEdit->end(false);
}

unsigned int CDialogMaxNoRecords::parseLimit(const QString& text)
{
    if (text.size() >= 6)
        return 0;
    int position = 0;
    const int length = static_cast<int>(text.size());
    while (position < length && text[position].isSpace())
        ++position;
    bool negative = false;
    if (position < length && (text[position] == QLatin1Char('+') || text[position] == QLatin1Char('-'))) {
        negative = text[position] == QLatin1Char('-');
        ++position;
    }
    // At most five characters: no overflow.
    unsigned int value = 0;
    while (position < length && text[position] >= QLatin1Char('0') && text[position] <= QLatin1Char('9')) {
        value = value * 10 + static_cast<unsigned int>(text[position].unicode() - u'0');
        ++position;
    }
    // A negative number read as unsigned lies far above the maximum.
    if (negative && value != 0)
        return 0;
    return value > kMaximumValue ? 0 : value;
}

void CDialogMaxNoRecords::accept()
{
    DIRLOOK_GUARD(L"DialogMaxNoRecords");
    util::TraceScope trace(L"CDialogMaxNoRecords::accept");
    m_uMaxNoRecords = parseLimit(m_pRecordsEdit->text());
    m_uMaxNoSeconds = parseLimit(m_pSecondsEdit->text());
    util::Log::getLog(L"ldapmodel")->write(L"CDialogMaxNoRecords::accept records %u seconds %u",
                                          m_uMaxNoRecords, m_uMaxNoSeconds);
    QDialog::accept();
}
