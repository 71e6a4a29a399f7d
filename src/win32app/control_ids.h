// The control IDs of the Win32 windows, named after the model controls they show: a test or a
// tool finds a control with GetDlgItem(window, id::Command1). Arrays of the forms take the index
// after an underscore (lblCPUValue_0 is lblCPUValue(0)).
#pragma once

namespace tarnwick::win32::id {

// The main window frmMain.
inline constexpr int Frame1 = 100;
inline constexpr int Frame3 = 101;
inline constexpr int CPU_Progress = 102;
inline constexpr int RAM_Progress = 103;
inline constexpr int lblCPUValue_0 = 104;
inline constexpr int lblCPUValue_1 = 105;
inline constexpr int lblRamDisp_0 = 106;
inline constexpr int lblRamDisp_1 = 107;
inline constexpr int lblRamDisp_2 = 108;
inline constexpr int lblRamValue_0 = 109;
inline constexpr int lblRamValue_1 = 110;
inline constexpr int lblRamValue_2 = 111;
inline constexpr int lblCPU_count = 112;
inline constexpr int lblmem_Count = 113;
inline constexpr int lblNum_count_0 = 114;
inline constexpr int lblNum_count_1 = 115;
inline constexpr int lbl_Threshold_0 = 116;
inline constexpr int lbl_Threshold_1 = 117;
inline constexpr int Label6_0 = 118;
inline constexpr int Label6_2 = 119;
inline constexpr int pgmCPU = 120;
inline constexpr int pgmCPU_Setting = 121;
inline constexpr int pgmCPU_count = 122;
inline constexpr int pgmCPU_Warn = 123;
inline constexpr int pgmMEM = 124;
inline constexpr int pgmMEM_Setting = 125;
inline constexpr int pgmMEM_Count = 126;
inline constexpr int pgmMEM_Alert = 127;
inline constexpr int Command1 = 128;
inline constexpr int lblTimeinterval = 129;
inline constexpr int lblNum = 130;
inline constexpr int Label5 = 131;
inline constexpr int lbl_lastTime = 132;
inline constexpr int Label4 = 133;
inline constexpr int Label7 = 134;
inline constexpr int txtLog = 135;
// Fixed captions of the frames ("Exceed count:", "Threshold:", the program headings).
inline constexpr int FixedCaption = 190;  // 190 .. 199

// Menu commands of frmMain (WM_COMMAND ids).
inline constexpr int Setup = 200;
inline constexpr int mPGMSetup = 201;
inline constexpr int SMTPsetup = 202;
inline constexpr int Login = 203;
inline constexpr int mStart = 204;
inline constexpr int mnuQuit = 205;
inline constexpr int mViewLog = 206;
inline constexpr int mHistory = 207;
inline constexpr int mProcesses = 209;
inline constexpr int mAutostart = 208;
inline constexpr int mNotify = 212;
// The log pane's own menu.
inline constexpr int mCopy = 210;
inline constexpr int mSelectAll = 211;

// The dialogs' Save and Cancel. Save is not IDOK: Enter in a box clicks no button (as in the Qt
// program), so a half-typed entry is never saved by a stray Enter.
inline constexpr int Save = 60;
inline constexpr int Cancel = 2;  // IDCANCEL: Escape and the close box

// alertSetting.
inline constexpr int TimeInterval = 300;
inline constexpr int cpu_High = 301;
inline constexpr int mem_High = 302;
inline constexpr int num_High = 303;
inline constexpr int host_Name = 304;
inline constexpr int Enable_log = 305;
inline constexpr int KillProc = 306;
inline constexpr int num_Kill = 307;
inline constexpr int Killopt = 308;
inline constexpr int noKillopt = 309;
inline constexpr int PnameList = 310;
inline constexpr int Check5 = 311;
inline constexpr int filMusic = 312;
inline constexpr int SelMusic = 313;
inline constexpr int soundOn = 314;
inline constexpr int soundFrom = 315;
inline constexpr int soundTo = 316;
inline constexpr int Check2 = 317;
inline constexpr int smsEmail = 318;
inline constexpr int smsPassword = 319;
inline constexpr int smsPhone = 320;
inline constexpr int Mail_List = 321;
inline constexpr int max_SMS = 322;
inline constexpr int SMS_Today = 323;
inline constexpr int SMS_Reset = 324;
inline constexpr int schAlert = 325;
inline constexpr int smsFrom = 326;
inline constexpr int smsTo = 327;
inline constexpr int SMTPset = 328;
inline constexpr int lblAccount = 329;
inline constexpr int lblPassword = 330;
inline constexpr int lblSmsAlertTo = 331;
inline constexpr int lblSeparateNote = 332;
inline constexpr int lblCapSms = 333;
inline constexpr int lblMailAlertTo = 334;
inline constexpr int lblAlertHours = 335;
inline constexpr int lblAlertHoursTo = 336;
inline constexpr int alertsFrame = 337;
inline constexpr int alertHoursFrame = 338;

// SMTPserver.
inline constexpr int Label8 = 400;
inline constexpr int PublicSMTP = 401;
inline constexpr int mailSvr = 402;
inline constexpr int mailFrom = 403;
inline constexpr int SMTPport = 404;
inline constexpr int MailUser = 405;
inline constexpr int MailPass = 406;
inline constexpr int Check1 = 407;
inline constexpr int Command2 = 408;
inline constexpr int alive_Email = 409;
inline constexpr int min_Select = 410;
inline constexpr int mailTo1 = 411;

// pgmSETUP (its Save and Cancel are pgmSave and pgmCancel).
inline constexpr int pgmMonitorF = 500;
inline constexpr int pgmNameF = 501;
inline constexpr int pgmCPUsetF = 502;
inline constexpr int pgmMEMsetF = 503;
inline constexpr int pgmAlertSetF = 504;
inline constexpr int pgmKillF = 505;
inline constexpr int pgmSoundF = 506;
inline constexpr int pgmFileSoundF = 507;
inline constexpr int pgmSelectMusic = 508;
inline constexpr int pgmSave = Save;
inline constexpr int pgmCancel = Cancel;

// The input box of the UI services.
inline constexpr int InputPrompt = 600;
inline constexpr int InputText = 601;

// The History window. The span buttons are cmdSpan_0 .. cmdSpan_4, one for each span.
inline constexpr int cmdSpan_0 = 700;
inline constexpr int lblNote = 710;
inline constexpr int picGraph = 711;
inline constexpr int lblHover = 712;
inline constexpr int grdTop = 713;
inline constexpr int lblSamples = 714;
inline constexpr int grdSamples = 715;
inline constexpr int cmdZoomBack = 716;
inline constexpr int cmdExportCsv = 717;
inline constexpr int cmdSavePicture = 718;
inline constexpr int tabs = 719;
inline constexpr int cboEventFilter = 720;
inline constexpr int grdEvents = 721;
// The fixed prompts "Span:" and "Show:".
inline constexpr int lblSpanPrompt = 722;
inline constexpr int lblShowPrompt = 723;

// The Processes window (its note is lblNote, as in the History window).
inline constexpr int grdCpu = 800;
inline constexpr int grdMemory = 801;
inline constexpr int lblCpuCaption = 802;
inline constexpr int lblMemoryCaption = 803;
inline constexpr int lblCpuMarked = 804;
inline constexpr int lblMemoryMarked = 805;

}  // namespace tarnwick::win32::id
