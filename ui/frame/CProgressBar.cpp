#include "frame/CProgressBar.h"

#include "logging/Log.h"
#include "services/DialogService.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <climits>

namespace {

QString progressText(int count)
{
    return QStringLiteral("Progress: ") + QString::number(count);
}

} // namespace

CProgressBar::CProgressBar(unsigned int sizeLimit, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setModal(true);
    setObjectName(QStringLiteral("ProgressBar"));
    m_pLabel = new QLabel(QStringLiteral("Progress: "), this);
    m_pLabel->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Progress: 0000000")));
    m_pBar = new QProgressBar(this);
    // A limit of 0 (none) leaves an empty range; the bar then stays put.
    const int maximum = sizeLimit > static_cast<unsigned int>(INT_MAX) ? INT_MAX
                                                                       : static_cast<int>(sizeLimit);
    m_pBar->setRange(0, maximum);
    m_pBar->setValue(0);
    m_pBar->setTextVisible(false);
    m_pBar->setMinimumWidth(200);
    m_pStopButton = new QPushButton(QStringLiteral("&Stop Action"), this);
    m_pStopButton->setDefault(true);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_pLabel);
    layout->addWidget(m_pBar, 1);
    layout->addWidget(m_pStopButton);

    connect(m_pStopButton, &QPushButton::clicked, this, [this]() { onStopAction(); });
    m_pModel = ldapmodel::Model::getInstance().get();
    m_pObserver = ui::ObserverBridge::create(this, m_pModel);
}

// The bridge may stay in the model's slot after this; its QPointer then
// drops every call.
CProgressBar::~CProgressBar() = default;

int CProgressBar::runModal(QWidget* parent, ldapmodel::Model& model,
                           const std::function<int()>& start, bool abandon)
{
    CProgressBar progress(model.getSizeLimit(), parent);
    model.setProgressObserver(progress.getObserver());
    start();
    const int result = ui::dialogs().exec(progress);
    if (result == StopResult || progress.isStopped()) {
        util::Log::getLog(L"ldapmodel")->write(L"CProgressBar::runModal stop requested");
        model.requestStop();
        if (abandon)
            model.stopBackground();
        return StopResult;
    }
    model.clearStopRequest();
    // A worker that told its end is joined now, which also lets the model
    // tell the frame about a connection the worker lost.
    if (!model.isRunning() || model.getBackgroundState().isEnding())
        model.waitBackground();
    return result;
}

int CProgressBar::exec()
{
    if (m_bClosed)
        return result();
    return QDialog::exec();
}

void CProgressBar::done(int result)
{
    m_bClosed = true;
    QDialog::done(result);
}

void CProgressBar::onStep(int count)
{
    if (m_bClosed)
        return;
    m_iCount = count;
    if (m_pBar->maximum() > m_pBar->minimum() && m_pBar->value() < m_pBar->maximum())
        m_pBar->setValue(m_pBar->value() + 1);
    m_pLabel->setText(progressText(count));
}

void CProgressBar::reject()
{
    onStopAction();
}

void CProgressBar::onFinished()
{
    if (m_bClosed)
        return;
    done(m_bStopped ? StopResult : QDialog::Accepted);
}

void CProgressBar::onStopAction()
{
    if (m_bClosed || m_bStopped)
        return;
    m_bStopped = true;
    m_pStopButton->setEnabled(false);
    // The worker sees the request between two messages and ends; its
    // finished closes the window.
    if (m_pModel != nullptr)
        m_pModel->requestStop();
}
