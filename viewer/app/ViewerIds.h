// Every id the viewer's windows share: controls and commands, menu items,
// private messages, timers, the interface texts they use, and the main
// window's button table. Named here once; windows, tests and the gallery
// read them from here.
#pragma once

#include <QSize>

#include <array>

namespace drivora::ids {

// Buttons and controls of the main window (also their command ids).
enum Control : int {
    Open = 1000,
    Capture = 1001,
    Save = 1002, // never shown
    RecordingList = 1003,
    Print = 1004,
    Setting = 1005,
    Zoom = 1006,
    About = 1007,
    Minimise = 1008,
    Maximise = 1009,
    Close = 1010,
    Previous = 1011,
    Rewind = 1012,
    Play = 1013,
    Forward = 1014,
    Pause = 1015,
    Next = 1016,
    SpeedReset = 1017,
    BrightnessReset = 1018,
    Mute = 1019,
    Map = 1020,
    KindAllButton = 1021,
    KindEventButton = 1022,
    KindNormalButton = 1023,
    KindParkingButton = 1024,
    ViewFrontButton = 1025,
    Timeline = 1026,
    ViewRearButton = 1027,
    ViewAllButton = 1028,
    Format = 1029,
    MapWindowClose = 1031,
    SpeedSlider = 1033,
    BrightnessSlider = 1034,
};

// Windows the main window makes at run time (their ids repeat button ids:
// they send no commands).
enum RuntimeWindow : int {
    FrontScreen = 1004,
    RearScreen = 1005,
    MapPanel = 1006,
    TimePanel = 1007,
    GsensorPanel = 1008,
    MapLabelPanel = 1009,
    PositionPanel = 1010,
    ListLabelPanel = 1013,
    NoDataPanel = 1011,
    NoConnectionPanel = 1012,
    MapWindowPanel = 1201,
    MapWindowCaption = 1202,
    MapWindowPosition = 1203,
    WebMap = 2091,
};

// Pictures of the map area (PNG skin images).
enum Picture : int {
    PictureNoData = 148,
    PictureNoConnection = 155,
};

// Items of the main context menu (149) and of the list's kind menu.
enum MenuCommand : int {
    MenuOpen = 32810,
    MenuPlayPause = 32811,
    MenuPrevious = 32812,
    MenuNext = 32813,
    MenuDarker = 32814,
    MenuBrighter = 32815,
    MenuBrightnessDefault = 32816,
    MenuFaster = 32817,
    MenuSlower = 32818,
    MenuSpeedDefault = 32819,
    MenuVolumeUp = 32820,
    MenuVolumeDown = 32821,
    MenuMute = 32822,
    MenuShowAll = 32823,
    MenuShowNormal = 32824,
    MenuShowEvent = 32825,
    MenuShowParking = 32826,
    // Exports of the list's menu.
    MenuExportGpxSelected = 32830,
    MenuExportGpxAll = 32831,
    MenuExportCsvSelected = 32832,
    MenuExportCsvAll = 32833,
    // Impacts (main context menu; Ctrl+Right and Ctrl+Left).
    MenuNextImpact = 32834,
    MenuPreviousImpact = 32835,
    MenuTripView = 32836, // the whole trip: its route on the map, the time within it
    MenuFrameNext = 32837,
    MenuFramePrevious = 32838,
    MenuToStart = 32839,
    MenuToEnd = 32840,
    MenuFullScreen = 32841, // the video area on the whole screen
    MenuRefreshList = 32842, // the list read again from its folders (F5)
};

// Private messages between windows.
enum Message : int {
    MapDetach = 2025,    // to a map panel: the window it now hosts
    VolumeChanged = 2125, // volume control to the main window: the new level 0..10
    RefreshKinds = 2126,  // refresh the kind buttons
    SeekTo = 4025,        // seek request to the main window: the position in ms
};

// Controls of the settings dialog.
enum SettingControl : int {
    SettingSave = 1,
    SettingCancel = 2,
    SettingDefaults = 1027,
    SettingDrive = 1028,
    SettingFormat = 1029,
    SettingParkingSelect = 1030,
    SettingSensitivity = 1031,
    SettingQuality = 1032,
    SettingChannels = 1033,
    SettingSound = 1035,
    SettingVolume = 1036,
    SettingCarBattery = 1037,
    SettingPowerOff = 1038,
    SettingCutOff = 1039,
    SettingFolder = 1040,
    SettingTruckBattery = 1041,
    SettingLcdOff = 1042,
    SettingParkingTime = 1043,
    SettingRearMirror = 1044,
    SettingYear = 1045,
    SettingApplyTime = 1046,
    SettingMonth = 1047,
    SettingDay = 1048,
    SettingHour = 1049,
    SettingMinute = 1050,
    SettingSecond = 1051,
    SettingFolderChange = 1052,
    SettingSkipSlider = 1053,
    SettingSkipNumber = 1054,
    SettingSpeedKmh = 1091, // the viewer's own: speed unit
    SettingSpeedMph = 1092,
};

// Timers.
inline constexpr int kTimelineTimer = 1;
inline constexpr int kTimelineTimerMs = 200;
inline constexpr int kZoomTimer = 100;
inline constexpr int kZoomTimerMs = 40;
// A burst of changes in the open folders gives one refresh once it has
// settled this long; the window's place and size are saved this long after
// they last changed.
inline constexpr int kFolderSettleMs = 400;
inline constexpr int kStateSaveDelayMs = 1000;

// The system-menu item of the about box.
inline constexpr int kAboutMenuItem = 16;

// The program's own texts (not the interface-text catalogue, whose 101 and
// 103 are tooltips): the about item and the start-up failure message.
inline constexpr const char *kProgramAboutItem = "DrivoraViewer 정보(&A)...";       // 101
inline constexpr const char *kProgramStartupFailure = "Windows 소켓을 초기화하지 못했습니다."; // 103

// The settings dialog's own texts.
inline constexpr const char *kSettingNoDrive = "드라이브를 선택해 주십시오.";
inline constexpr const char *kSettingErrorCaption = "오류";
inline constexpr const char *kSettingFormatQuestion = "포맷 하시겠습니까?";
inline constexpr const char *kSettingFolderTitle = "selec Folder";
inline constexpr const char *kSettingCardNotWritten =
    "메모리 카드에 설정을 저장하지 못했습니다. 카드의 쓰기 방지 스위치와 연결을 확인하거나 다른 드라이브를 선택해 "
    "주십시오.\n(%1)";
// A playing recording whose file went away; why a recording cannot be
// played (the second line of the message).
inline constexpr const char *kPlayingFileGone =
    "재생 중인 녹화 파일이 없어졌습니다. 카드가 빠졌거나 파일이 지워져 재생을 멈춥니다.";
inline constexpr const char *kWhyFileGone = "파일이 없습니다. 카드가 빠졌거나 파일이 지워졌습니다.";
inline constexpr const char *kWhyNotARecording = "녹화 파일이 아닙니다.";
inline constexpr const char *kWhyDamaged = "녹화 파일이 손상되었습니다.";
inline constexpr const char *kWhyNothingDecodable = "재생할 수 있는 영상도 소리도 없습니다.";
inline constexpr const char *kNoPicturesNotice =
    "이 녹화의 영상은 표시할 수 없습니다(디코딩할 수 있는 화면이 없습니다).\n소리와 속도, G센서, 지도는 재생됩니다.";
inline constexpr const char *kListNoRecordings = "녹화 파일이 없습니다.\n%1";
inline constexpr const char *kListLengthHeader = "길이";
inline constexpr const char *kListRefreshItem = "목록 새로 고침\tF5";
inline constexpr const char *kStateNotSaved = "창 상태를 저장하지 못했습니다: %1";
inline constexpr const char *kCardFull = "메모리 카드에 빈 공간이 없어 설정을 저장하지 못했습니다. 카드의 파일을 정리하거나 포맷한 뒤 다시 저장해 주십시오.\n(%1)";
inline constexpr const char *kCardReadOnly = "메모리 카드가 쓰기 방지되어 있어 설정을 저장하지 못했습니다. 카드의 쓰기 방지 스위치를 확인해 주십시오.\n(%1)";
inline constexpr const char *kCardGone = "메모리 카드가 빠졌거나 다시 연결되었습니다. 카드를 넣고 드라이브를 다시 선택해 주십시오.\n(%1)";
inline constexpr const char *kCardNotAFile = "카드의 설정 파일 자리에 일반 파일이 아닌 것(폴더, 장치, FIFO)이 있어 읽거나 쓰지 않았습니다.\n(%1)";
inline constexpr const char *kCardLinkLeadsOut = "카드의 설정 파일이 카드 밖을 가리키는 링크여서 읽거나 쓰지 않았습니다.\n(%1)";
inline constexpr const char *kCardDenied = "메모리 카드에 쓸 권한이 없습니다.\n(%1)";
inline constexpr const char *kCardNoneFound = "메모리 카드가 없습니다";
inline constexpr const char *kSettingOptionsNotWritten = "뷰어 설정 파일을 저장하지 못했습니다.\n(%1)";
inline constexpr const char *kFormatCaption = "포맷";
inline constexpr const char *kFormatDone = "포맷을 마쳤습니다. 볼륨 레이블: %1";
inline constexpr const char *kFormatFailed = "포맷하지 못했습니다.\n(%1)";
inline constexpr const char *kFormatNotFat = "FAT 형식의 메모리 카드만 포맷할 수 있습니다.";
inline constexpr const char *kFormatNotRemovable = "이동식 디스크가 아닌 드라이브는 포맷할 수 없습니다.";
inline constexpr const char *kFormatSystemVolume = "시스템이나 사용자 폴더가 있는 드라이브는 포맷할 수 없습니다.";

inline constexpr const char *kExportCaption = "내보내기";
inline constexpr const char *kExportGpxSelected = "GPX로 내보내기 - 선택한 녹화...";
inline constexpr const char *kExportGpxAll = "GPX로 내보내기 - 목록 전체...";
inline constexpr const char *kExportCsvSelected = "CSV로 내보내기 - 선택한 녹화...";
inline constexpr const char *kExportCsvAll = "CSV로 내보내기 - 목록 전체...";
inline constexpr const char *kExportProgress = "녹화 %1개 중 %2개를 읽었습니다...";
inline constexpr const char *kExportCancel = "취소";
inline constexpr const char *kExportDone = "%1개 녹화에서 %2개 항목을 저장했습니다.\n%3";
inline constexpr const char *kExportFailed = "내보내지 못했습니다.\n%1";
inline constexpr const char *kExportNothingSelected = "내보낼 녹화를 선택해 주십시오.";
inline constexpr const char *kReportCaption = "인쇄";
inline constexpr const char *kReportFailed = "보고서를 인쇄하지 못했습니다.\n(%1)";
inline constexpr const char *kReportSaved = "보고서를 저장했습니다.\n%1";
inline constexpr const char *kReportDigesting = "원본 녹화의 SHA-256을 계산하고 있습니다...\n%1 MB 중 %2 MB";
inline constexpr const char *kReportDigestCancel = "취소";
inline constexpr const char *kReportNothingPlaying = "보고서로 인쇄할 녹화가 열려 있지 않습니다.";
inline constexpr const char *kReportCancelled = "보고서 인쇄를 취소했습니다.";
inline constexpr const char *kReportNoDigest = "원본 녹화를 읽지 못해 SHA-256 줄 없이 저장했습니다.\n(%1)";
inline constexpr const char *kReportDigestNoFile = "원본 녹화를 열 수 없습니다: %1";
inline constexpr const char *kReportDigestReadError = "원본 녹화를 읽는 중 오류가 났습니다: %1 (%2)";
inline constexpr const char *kReportFolderMissing = "사진 저장 폴더가 없습니다: %1";
inline constexpr const char *kReportFolderNotWritable = "사진 저장 폴더에 쓸 수 없습니다: %1 (%2)";
inline constexpr const char *kReportPresetNotUsed =
    "보고서 PDF를 사진 저장 폴더에 저장할 수 없습니다.\n%1\n인쇄 창에서 저장할 곳을 골라 주십시오.";

// A second start hands its paths and command over to the viewer that runs.
inline constexpr const char *kInstanceSocketName = "MA_DV_VIEWER.socket";
inline constexpr const char *kInstanceNoAnswer = "실행 중인 뷰어가 응답하지 않습니다.";
inline constexpr const char *kInstanceEnded = "실행 중인 뷰어가 명령을 마치기 전에 끝났습니다.";
inline constexpr const char *kInstanceBadRequest = "실행 중인 뷰어가 알 수 없는 요청입니다.";
inline constexpr const char *kInstanceBusy = "실행 중인 뷰어가 다른 명령이나 대화 상자를 처리하고 있습니다. 잠시 후 다시 시도해 주십시오.";
inline constexpr const char *kInstanceOptionRefused = "뷰어가 이미 실행 중이어서 %1 옵션은 쓸 수 없습니다.";

// Interface texts the main window uses by id.
enum Text : int {
    TextSpeedSlider = 111,
    TextBrightnessSlider = 123,
    TextVolume = 125,
    TextMapLabel = 126,
    TextListLabel = 130,
    TextCaptureDone = 145,
};

// A button of the main window, as its table gives it.
struct ButtonRow {
    int id;
    const char *caption;
    QSize size;
    std::array<int, 4> images; // normal, pressed, hover, disabled (0: none); see `kind`
    int tooltip;               // text id, 0: none
    enum Kind { Plain, Channel, KindFilter, MuteToggle } kind;
    enum Start { Enabled, Disabled, Hidden, HiddenChecked, NeverShown, OnlyOnline } start;
};

// Channel buttons: normal, checked; kind buttons: normal, checked, disabled;
// Mute: unmuted normal, pressed, muted normal, pressed.
inline constexpr std::array<ButtonRow, 27> kMainButtons = {{
    {Open, "Open", {32, 31}, {19101, 19102, 19103, 0}, 101, ButtonRow::Plain, ButtonRow::Enabled},
    {Capture, "Capture", {32, 31}, {19111, 19112, 19113, 19114}, 102, ButtonRow::Plain, ButtonRow::Disabled},
    {Save, "Save", {32, 31}, {0, 0, 0, 0}, 103, ButtonRow::Plain, ButtonRow::NeverShown},
    {Print, "Print", {32, 31}, {19131, 19132, 19133, 19134}, 105, ButtonRow::Plain, ButtonRow::Disabled},
    {Setting, "Setting", {32, 31}, {19141, 19142, 19143, 0}, 106, ButtonRow::Plain, ButtonRow::Enabled},
    {Zoom, "Zoom", {32, 31}, {19151, 19152, 19153, 0}, 208, ButtonRow::Plain, ButtonRow::Enabled},
    {About, "About", {32, 31}, {19161, 19162, 19163, 0}, 198, ButtonRow::Plain, ButtonRow::Enabled},
    {Minimise, "Min", {30, 24}, {18101, 18102, 18103, 0}, 108, ButtonRow::Plain, ButtonRow::Enabled},
    {Maximise, "Max", {30, 24}, {18111, 18112, 18113, 0}, 107, ButtonRow::Plain, ButtonRow::Enabled},
    {Close, "Close", {30, 24}, {18121, 18122, 18123, 0}, 209, ButtonRow::Plain, ButtonRow::Enabled},
    {ViewFrontButton, "Front", {43, 19}, {20031, 20032, 0, 0}, 112, ButtonRow::Channel, ButtonRow::HiddenChecked},
    {ViewRearButton, "Rear", {43, 19}, {20041, 20042, 0, 0}, 113, ButtonRow::Channel, ButtonRow::Hidden},
    {ViewAllButton, "All", {43, 19}, {20051, 20052, 0, 0}, 114, ButtonRow::Channel, ButtonRow::Hidden},
    {Previous, "Prev", {32, 32}, {19171, 19172, 19173, 19174}, 115, ButtonRow::Plain, ButtonRow::Disabled},
    {Rewind, "RW", {32, 32}, {19181, 19182, 19183, 19184}, 116, ButtonRow::Plain, ButtonRow::Disabled},
    {Play, "Play", {32, 32}, {19191, 19192, 19193, 19194}, 117, ButtonRow::Plain, ButtonRow::Disabled},
    {Pause, "Pause", {32, 32}, {19195, 19196, 19197, 19198}, 118, ButtonRow::Plain, ButtonRow::Hidden},
    {Forward, "FF", {32, 32}, {19201, 19202, 19203, 19204}, 119, ButtonRow::Plain, ButtonRow::Disabled},
    {Next, "Next", {32, 32}, {19211, 19212, 19213, 19214}, 120, ButtonRow::Plain, ButtonRow::Disabled},
    {SpeedReset, "Speed", {24, 24}, {19221, 19222, 0, 0}, 121, ButtonRow::Plain, ButtonRow::Enabled},
    {BrightnessReset, "Bright", {24, 24}, {19231, 19232, 0, 0}, 122, ButtonRow::Plain, ButtonRow::Enabled},
    {Mute, "Mute", {24, 24}, {19243, 19244, 19241, 19242}, 124, ButtonRow::MuteToggle, ButtonRow::Enabled},
    {Map, "Map", {32, 32}, {19251, 19252, 0, 19253}, 0, ButtonRow::Plain, ButtonRow::OnlyOnline},
    {KindAllButton, "All", {43, 23}, {19261, 19262, 19263, 0}, 131, ButtonRow::KindFilter, ButtonRow::Disabled},
    {KindEventButton, "Event", {43, 23}, {19281, 19282, 19283, 0}, 132, ButtonRow::KindFilter, ButtonRow::Disabled},
    {KindNormalButton, "Normal", {43, 23}, {19271, 19272, 19273, 0}, 133, ButtonRow::KindFilter,
     ButtonRow::Disabled},
    {KindParkingButton, "Parking", {43, 23}, {19291, 19292, 19293, 0}, 134, ButtonRow::KindFilter,
     ButtonRow::Disabled},
}};

// The table's row of a button id (the first row for an unknown id, which the
// table test rules out).
constexpr const ButtonRow &MainButton(int id)
{
    for (const ButtonRow &b : kMainButtons)
        if (b.id == id)
            return b;
    return kMainButtons[0];
}

} // namespace drivora::ids
