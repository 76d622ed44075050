// The toolbar's operations from start to finish (operationactions.h).
#include "operationactions.h"

#include "baseop.h"
#include "baseworker.h"
#include "messagebox.h"
#include "resultpanel.h"
#include "runrecord.h"
#include "spiconfig.h"
#include "tabwidgetinf.h"
#include "toolactions.h"
#include "ui_mainwindow.h"
#include "windowlinedb.h"

#include <jobfile.h>
#include <results.h>
#include <session.h>
#include <spiflashctrl.h>

#include <QProgressBar>
#include <QToolBar>

const char* const kChunkSuccess = "QProgressBar::chunk {background-color: #05B8CC;}";
const char* const kChunkFailure = "QProgressBar::chunk {background-color: #FF6E6E;}";

OperationActions::OperationActions(QWidget* pWindow, Ui::MainWindow& ui, SpiConfig& config, Session& session,
                                   RunRecord& record, WindowLineDb& lineDb, ResultPanel& panel, QProgressBar& bar)
    : QObject(pWindow), m_pWindow(pWindow), ui(ui), m_config(config), m_session(session), m_record(record),
      m_lineDb(lineDb), m_panel(panel), m_bar(bar)
{
    m_pVerifyAction = NewToolAction(":/main/icon/verify_flash_48.png", tr("校验"), "action_verify",
                                    tr("校验Flash: 与选中的镜像比较，不擦除、不烧写"), pWindow);
    m_pBlankAction = NewToolAction(":/main/icon/blank_flash_48.png", tr("查空"), "action_blank",
                                   tr("查空: 擦除选项的范围是否全部为空白(0xFF)"), pWindow);
    for (QAction* pAction : {m_pVerifyAction, m_pBlankAction}) {
        pAction->setCheckable(true);
        ui.toolBar->insertAction(ui.action_stop, pAction);
        connect(pAction, &QAction::triggered, this, [this, pAction](bool bPressed) {
            if (bPressed)
                Start(pAction, OperationKind::kVerify);
        });
    }
    // A warning while a tab checks its input is the refusal of the attempt:
    // the panel says so before the operator reads the box.
    msgbox::Watch(this, [this](const msgbox::Shown& shown) {
        if (m_bStarting && shown.icon != QMessageBox::Question && m_strRefusal.isEmpty()) {
            m_strRefusal = shown.strText;
            m_panel.ShowNotRun(m_strRefusal);
        }
    });
}

OperationActions::~OperationActions()
{
    msgbox::Unwatch(this);
}

TabWidgetInf* OperationActions::CurrentTab() const
{
    return qobject_cast<TabWidgetInf*>(ui.tabWidget->currentWidget());
}

QString OperationActions::InterfaceName() const
{
    return QString::fromUtf8(m_config.InterfaceName());
}

bool OperationActions::OpenInterface(QAction* pAction, int nRateIndex)
{
    if (m_session.Open(m_config.InterfaceName(), nRateIndex >= 0 ? nRateIndex : m_config.RateIndex()) == xq::kOk)
        return true;
    RefuseClosedInterface(pAction);
    return false;
}

// The adapter did not open (none selected, or it vanished): said in the log
// pane and the run log as well as in the box, with the adapter's reason.
void OperationActions::RefuseClosedInterface(QAction* pAction)
{
    m_record.Trace(tr("操作: %1, 接口: %2").arg(pAction->text(), InterfaceName()));
    Refuse(pAction, m_session.Refuse());
}

// An attempt the operator started that never reached the chip: the panel
// and the run log say so (before the box, which may stay open a while).
void OperationActions::Refuse(QAction* pAction, const QString& strReason)
{
    m_lineDb.Cancel();
    m_panel.ShowNotRun(strReason);
    ui.action_stop->setEnabled(false);
    m_record.Trace(Session::ResultLine(Session::Outcome::kNotRun));
    msgbox::Warning(m_pWindow, tr("告警"), strReason);
    pAction->setChecked(false);
}

bool OperationActions::LineDbChecked(QAction* pAction)
{
    // The image tab's write stamps serial numbers from the counter when its box is checked.
    JobSpec tab;
    if (CurrentTab() == ui.tabBaseOp)
        ui.tabBaseOp->JobSettings(tab);
    QString strError;
    if (!m_lineDb.Begin(nullptr, tab.bSerial, strError)) {
        m_record.Trace(tr("操作: %1, 接口: %2").arg(pAction->text(), InterfaceName()));
        emit log(strError);
        Refuse(pAction, strError);
        return false;
    }
    ui.tabBaseOp->Worker()->pSerials = m_lineDb.Serials();
    ui.tabBaseOp->Worker()->strSerialAdapter = InterfaceName();
    return true;
}

void OperationActions::Start(QAction* pAction, OperationKind eKind)
{
    if (!OpenInterface(pAction))
        return;
    TabWidgetInf* pTab = CurrentTab();
    if (!pTab) {
        pAction->setChecked(false);
        return;
    }
    Begin(tr("操作: %1 %2, 接口: %3")
              .arg(pAction->text(), ui.tabWidget->tabText(ui.tabWidget->currentIndex()).trimmed(), InterfaceName()));
    // Until the tab hands the operation to its worker (WorkerStarted) it is
    // checking its input, perhaps in a box: the panel does not say 进行中.
    m_bStarting = true;
    if (eKind == OperationKind::kVerify)
        pTab->Verify(pAction == m_pBlankAction);
    else if (eKind == OperationKind::kWrite)
        pTab->Write();
    else
        pTab->Read();
    m_bStarting = false;
}

void OperationActions::Begin(const QString& strWhat)
{
    m_bar.setStyleSheet(kChunkSuccess);
    m_record.Begin(InterfaceName());
    m_record.Trace(strWhat);
    emit widgetsEnable(false);
    m_bStopRequested = false;
    m_bBusy = true;
    m_strRefusal.clear();
}

void OperationActions::WorkerStarted()
{
    m_bWorkerStarted = true;
    m_record.StartClock();
    m_panel.ShowRunning();
    ui.action_stop->setEnabled(true);
}

void OperationActions::Finish(int nOpt, bool bState)
{
    OperationKind eKind = OperationKind::kRead;
    const bool bKnown = KindOf(nOpt, eKind);
    // The link closes first: a simulated bench that cannot save its chip
    // fails the operation, with the file and the reason.
    bState = m_session.Close(bState, m_record.LastReport());
    ResultPanel::Outcome outcome;
    outcome.steps = m_record.Reports();
    // An operation whose traceability row was lost is not a success.
    if (!m_record.WriteRows(m_session))
        bState = false;
    QString strLost;
    if (!m_lineDb.Finish(outcome.steps, strLost)) {
        emit log(strLost);
        bState = false;
    }
    // A tab that refused its input never started its worker: nothing ran.
    const bool bRan = outcome.bRan = m_bWorkerStarted || (bKnown && eKind == OperationKind::kReset);
    outcome.bState = bState;
    outcome.strRefusal = m_strRefusal;
    outcome.strLastLine = m_record.LastLine();
    outcome.dSeconds = m_record.Seconds();
    m_panel.ShowOutcome(outcome);
    m_record.End(Session::ResultLine(!bRan     ? Session::Outcome::kNotRun
                                     : bState ? Session::Outcome::kOk
                                              : Session::Outcome::kFailed));
    m_bWorkerStarted = false;
    m_bBusy = false;
    ui.action_stop->setEnabled(false);
    emit widgetsEnable(true);
    if (bKnown)
        Uncheck(eKind);
    m_bar.setStyleSheet(bState ? kChunkSuccess : kChunkFailure);
}

void OperationActions::Uncheck(OperationKind eKind)
{
    switch (eKind) {
    case OperationKind::kRead: ui.action_read->setChecked(false); break;
    case OperationKind::kWrite: ui.action_write->setChecked(false); break;
    case OperationKind::kReset: ui.action_reset->setChecked(false); break;
    case OperationKind::kVerify:
        m_pVerifyAction->setChecked(false);
        m_pBlankAction->setChecked(false);
        break;
    }
}

void OperationActions::Stop()
{
    if (!m_bBusy || m_bStopRequested)
        return;
    m_bStopRequested = true;
    ui.action_stop->setEnabled(false);
    emit log(tr("正在停止: 当前Flash命令完成后停止操作"));
}

void OperationActions::EnableVerify(bool bEnable)
{
    const TabWidgetInf* pTab = CurrentTab();
    for (QAction* pAction : {m_pVerifyAction, m_pBlankAction})
        pAction->setEnabled(bEnable && pTab && pTab->CanVerify());
}
