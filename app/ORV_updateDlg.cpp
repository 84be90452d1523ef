#include "ORV_updateDlg.h"

#include <cwchar>
#include <new>

#include "AboutDlg.h"
#include "DialogUpdateWindow.h"
#include "ErrorTipDlg.h"
#include "app_messages.h"
#include "image_platform.h"
#include "progress_model.h"
#include "start_command.h"
#include "transfer_buffer.h"
#include "update_state.h"
#include "update_texts.h"

// What a timer tick needs of the dialog.
class DialogProgressView : public ProgressView {
public:
    explicit DialogProgressView(CORV_updateDlg& dlg) : m_dlg(dlg) {}
    void SetBarPos(int barId, int pos) override
    {
        CProgressCtrl& bar = barId == IDC_PROGRESS_DATABASE   ? m_dlg.m_progressDatabase
                             : barId == IDC_PROGRESS_FIRMWARE ? m_dlg.m_progressFirmware
                             : barId == IDC_PROGRESS_AUDIO    ? m_dlg.m_progressAudio
                                                              : m_dlg.m_progressRadar;
        bar.SetPos(pos);
    }
    void KillTimer(UINT_PTR timerId) override { m_dlg.KillTimer(timerId); }
    void SetDeviceStateText(const wchar_t* text) override
    {
        if (CWnd* line = m_dlg.GetDlgItem(IDC_DEVICE_STATE))
            line->SetWindowText(text);
    }

private:
    CORV_updateDlg& m_dlg;
};

// What the Start command needs of the dialog.
class DialogStartHost : public StartHost {
public:
    explicit DialogStartHost(CORV_updateDlg& dlg) : m_dlg(dlg) {}
    int UpdateDoneFlag() override { return m_dlg.m_bUpdateDone; }
    void Cancel() override { m_dlg.OnCancel(); }
    void ShowMessage(const wchar_t* text) override { AfxMessageBox(text, MB_OK, 0); }
    void StartTimer(UINT_PTR timerId, UINT periodMs) override { m_dlg.SetTimer(timerId, periodMs, nullptr); }
    WorkerWindow* NewWorkerWindow() override { return new (std::nothrow) DialogUpdateWindow(m_dlg.m_hWnd); }

private:
    CORV_updateDlg& m_dlg;
};

POINT MinimisedIconOrigin(int clientWidth, int clientHeight, int cxIcon, int cyIcon)
{
    return POINT{(clientWidth - cxIcon + 1) / 2, (clientHeight - cyIcon + 1) / 2};
}

CORV_updateDlg::CORV_updateDlg(CWnd* pParent)
    : CDialog(IDD, pParent), m_szModuleDir{}, m_szDatabasePath{}, m_bUpdateDone(0)
{
    m_hIcon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CORV_updateDlg::~CORV_updateDlg() = default;

void CORV_updateDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS_DATABASE, m_progressDatabase);
    DDX_Control(pDX, IDC_PROGRESS_FIRMWARE, m_progressFirmware);
    DDX_Control(pDX, IDC_PROGRESS_AUDIO, m_progressAudio);
    DDX_Control(pDX, IDC_PROGRESS_RADAR, m_progressRadar);
}

BEGIN_MESSAGE_MAP(CORV_updateDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_WM_TIMER()
    ON_BN_CLICKED(IDC_BTN_START, &CORV_updateDlg::OnBnClickedStart)
    ON_BN_CLICKED(IDC_BTN_CANCEL, &CORV_updateDlg::OnBnClickedCancel)
    ON_WM_DESTROY()
    ON_MESSAGE(WM_UPDATE_ERROR, &CORV_updateDlg::OnUpdateError)
    ON_MESSAGE(WM_UPDATE_WINDOW_OP, &CORV_updateDlg::OnWindowOp)
END_MESSAGE_MAP()

BOOL CORV_updateDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (CMenu* sysMenu = GetSystemMenu(FALSE)) {
        wchar_t about[128] = {};
        if (::LoadStringW(AfxGetResourceHandle(), IDS_ABOUTBOX, about, 128) > 0) {
            sysMenu->AppendMenu(MF_SEPARATOR);
            sysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, about);
        }
    }

    g_pImage = AllocateTransferBuffer();
    if (g_pImage == nullptr)
        return FALSE;

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    if (CWnd* notice = GetDlgItem(IDC_STATUS))
        notice->SetWindowText(kNoticeText);

    // The folder comes from the program's whole path, which may be longer
    // than the buffer while the folder still fits. A folder that does not
    // fit stays unknown: cut, it would name a parent folder, whose
    // database.bin the worker would then send.
    const std::wstring path = AfxGetModulePath(nullptr, ImageCalls().GetModuleFileNameW);
    const std::size_t folderLength = path.find_last_of(L'\\') + 1;  // 0 without a backslash
    if (folderLength < 256)
        path.copy(m_szModuleDir, folderLength);
    m_szModuleDir[folderLength < 256 ? folderLength : 0] = L'\0';

    SetTimer(TIMER_DEVICE_PROBE, kTimerPeriodMs, nullptr);
    return TRUE;
}

void CORV_updateDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CORV_updateDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = ::GetSystemMetrics(SM_CXICON);
    const int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    const POINT origin = MinimisedIconOrigin(rect.right - rect.left, rect.bottom - rect.top, cxIcon, cyIcon);
    dc.DrawIcon(origin.x, origin.y, m_hIcon);
}

HCURSOR CORV_updateDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CORV_updateDlg::OnTimer(UINT_PTR nIDEvent)
{
    DialogProgressView view(*this);
    ProgressTimerTick(nIDEvent, view);
    Default();
}

void CORV_updateDlg::OnBnClickedStart()
{
    DialogStartHost host(*this);
    OnStartPressed(host);
}

void CORV_updateDlg::OnBnClickedCancel()
{
    if (AfxMessageBox(L"Выйти из программы?", MB_YESNO | MB_ICONQUESTION, 0) == IDYES)
        OnCancel();
}

void CORV_updateDlg::OnDestroy()
{
    CDialog::OnDestroy();
}

LRESULT CORV_updateDlg::OnUpdateError(WPARAM, LPARAM)
{
    CCErrorTipDlg tip;
    tip.DoModal();
    return 0;
}

LRESULT CORV_updateDlg::OnWindowOp(WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case WINDOW_OP_KILL_TIMER:
        KillTimer(static_cast<UINT_PTR>(lParam));
        break;
    case WINDOW_OP_CLOSE:
        OnCancel();
        break;
    case WINDOW_OP_READ_FOLDER:
        std::wmemcpy(reinterpret_cast<wchar_t*>(lParam), m_szModuleDir, 256);
        break;
    case WINDOW_OP_STORE_PATH:
        std::wmemcpy(m_szDatabasePath, reinterpret_cast<const wchar_t*>(lParam), 256);
        break;
    case WINDOW_OP_SET_DONE:
        m_bUpdateDone = 1;
        break;
    default:
        return 0;
    }
    return 1;
}
