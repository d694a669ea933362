#include "CSettingDlg.h"

#include "app/UiStringLibrary.h"
#include "app/ViewerIds.h"
#include "catalogue/AppPaths.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

namespace drivora {
namespace {

// 387 x 407 dialog units, at the scale of the viewer's other dialogs.
constexpr QSize kTemplateSize{581, 651};

const char *kStyle = R"(
QDialog { background: #1e1e1e; }
QGroupBox { color: #e6e6e6; border: 1px solid #4a4a4a; border-radius: 4px; margin-top: 8px; padding: 4px 4px 2px 4px; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; color: #5fc7c7; }
QLabel { color: #d0d0d0; }
QLabel[hint="true"] { color: #9a9a9a; }
QLabel:disabled, QCheckBox:disabled, QRadioButton:disabled, QGroupBox:disabled { color: #6a6a6a; }
QPushButton:disabled { color: #6a6a6a; border: 1px solid #444; }
QCheckBox, QRadioButton { color: #e6e6e6; }
QComboBox, QLineEdit { background: #2b2b2b; color: #f0f0f0; border: 1px solid #555; border-radius: 3px; padding: 1px 6px; min-height: 18px; }
QComboBox:disabled { color: #707070; background: #242424; }
QComboBox QAbstractItemView { background: #2b2b2b; color: #f0f0f0; selection-background-color: #0f8a8a; }
QPushButton { background: #333; color: #f0f0f0; border: 1px solid #5a5a5a; border-radius: 4px; padding: 4px 14px; min-height: 20px; }
QPushButton:hover { background: #3d3d3d; }
QPushButton:default { border: 1px solid #0fa3a3; }
QSlider::groove:horizontal { height: 4px; background: #444; border-radius: 2px; }
QSlider::handle:horizontal { width: 12px; margin: -6px 0; background: #5fc7c7; border-radius: 6px; }
)";

QString Caption(const UiStringLibrary &texts, int id, const char *fallback)
{
    const QString text = texts.isLoaded() ? texts.text(id) : QString();
    return text.isEmpty() ? QString::fromUtf8(fallback) : text;
}

} // namespace

CSettingDlg::CSettingDlg(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services), m_form(*services.volumes)
{
    if (!m_services.now)
        m_services.now = [] { return QDateTime::currentDateTime(); };
    setStyleSheet(QString::fromLatin1(kStyle));
    UiStringLibrary texts;
    const bool loaded = texts.load();
    setWindowTitle(Caption(texts, 106, "환경 설정"));

    ViewerOptions read;
    const bool haveOptions = ReadViewerOptions(OptionFilePath(), read);
    ReadExtraOptions(ExtraOptionFilePath(OptionFilePath()), read);
    ViewerOptions::instance() = haveOptions ? read : ViewerOptions::instance();
    m_form.open(loaded ? std::function<QString(int)>([&texts](int id) { return texts.text(id); }) : nullptr,
                haveOptions ? &read : nullptr, GetCaptureFolder(), m_services.now().date());
    m_lists = {{ids::SettingSensitivity, &m_form.card.sensitivity}, {ids::SettingQuality, &m_form.card.quality},
               {ids::SettingVolume, &m_form.card.volume},           {ids::SettingChannels, &m_form.card.channels},
               {ids::SettingParkingSelect, &m_form.card.parkingSelect},
               {ids::SettingParkingTime, &m_form.card.parkingTime}, {ids::SettingCutOff, &m_form.card.cutOff},
               {ids::SettingPowerOff, &m_form.card.powerOff},       {ids::SettingLcdOff, &m_form.card.lcdOff},
               {ids::SettingYear, &m_form.card.year},               {ids::SettingMonth, &m_form.card.month},
               {ids::SettingDay, &m_form.card.day},                 {ids::SettingHour, &m_form.card.hour},
               {ids::SettingMinute, &m_form.card.minute},           {ids::SettingSecond, &m_form.card.second}};
    build();
    // The captions from the texts (the template's as fallback).
    auto set = [&](int id, int text, const char *fallback) {
        if (auto *w = m_controls.value(id))
            w->setProperty("text", Caption(texts, text, fallback));
    };
    set(ids::SettingSave, 103, "저장");
    set(ids::SettingCancel, 143, "취소");
    set(ids::SettingDefaults, 196, "기본값");
    auto *drive = combo(ids::SettingDrive);
    for (const CardVolume &v : m_form.drives)
        drive->addItem(v.entryText());
    drive->setCurrentIndex(-1);
    if (m_form.drives.isEmpty()) {
        // No card: its part waits; the viewer's own options can be saved.
        drive->setPlaceholderText(QString::fromUtf8(ids::kCardNoneFound));
        if (auto *cardPart = findChild<QGroupBox *>(QStringLiteral("cardPart")))
            cardPart->setEnabled(false);
    }
    toWidgets();
    resize(sizeHint().expandedTo(kTemplateSize));
}

QComboBox *CSettingDlg::combo(int id)
{
    return static_cast<QComboBox *>(m_controls.value(id));
}

void CSettingDlg::build()
{
    UiStringLibrary texts;
    texts.load();
    auto caption = [&texts](int id, const char *fallback) { return Caption(texts, id, fallback); };
    auto group = [&](const QString &title) { return new QGroupBox(title, this); };
    // Tight layouts: the dialog keeps close to its template's size.
    auto tight = [](QLayout *l) {
        l->setContentsMargins(8, 4, 8, 4);
        l->setSpacing(4);
    };
    auto label = [&](const QString &text, bool hint = false) {
        auto *l = new QLabel(text, this);
        l->setWordWrap(hint);
        if (hint)
            l->setProperty("hint", true);
        return l;
    };
    auto makeCombo = [&](int id) {
        auto *c = new QComboBox(this);
        c->setObjectName(QStringLiteral("setting%1").arg(id));
        c->setProperty("controlId", id);
        c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        c->setMinimumWidth(id >= ids::SettingYear && id <= ids::SettingSecond && id != ids::SettingApplyTime ? 56 : 120);
        m_controls.insert(id, c);
        if (ChoiceList *list = m_lists.value(id))
            c->addItems(list->entries);
        connect(c, &QComboBox::currentIndexChanged, this, [this](int) {
            if (!m_updating)
                fromWidgets();
        });
        return c;
    };
    auto makeCheck = [&](int id, const QString &text) {
        auto *b = new QCheckBox(text, this);
        b->setProperty("controlId", id);
        m_controls.insert(id, b);
        return b;
    };
    auto makeButton = [&](int id, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setProperty("controlId", id);
        b->setAutoDefault(false);
        m_controls.insert(id, b);
        return b;
    };
    auto row = [](std::initializer_list<QWidget *> widgets, bool stretch = true) {
        auto *h = new QHBoxLayout;
        for (QWidget *w : widgets)
            h->addWidget(w);
        if (stretch)
            h->addStretch();
        return h;
    };

    // The card.
    auto *card = group(caption(148, "드리보라 환경 설정"));
    card->setObjectName(QStringLiteral("cardPart"));
    auto *cardLayout = new QGridLayout(card);
    auto *driveGroup = group(caption(149, "드라이브 선택"));
    auto *driveLayout = new QVBoxLayout(driveGroup);
    driveLayout->addWidget(label(caption(150, "설정파일을 저장할 드라이브를 설정합니다."), true));
    auto *driveCombo = makeCombo(ids::SettingDrive);
    driveCombo->setMinimumWidth(220);
    QPushButton *format = makeButton(ids::SettingFormat, caption(152, "포맷"));
    driveLayout->addLayout(row({label(caption(151, "드라이브")), driveCombo, format}));
    connect(driveCombo, &QComboBox::activated, this, &CSettingDlg::chooseDrive);
    connect(format, &QPushButton::clicked, this, &CSettingDlg::formatDrive);
    cardLayout->addWidget(driveGroup, 0, 0, 1, 2);

    auto *impact = group(caption(153, "충격 감도 설정"));
    auto *impactLayout = new QVBoxLayout(impact);
    impactLayout->addWidget(label(caption(154, "G-Sensor의 충격량을 설정합니다."), true));
    impactLayout->addLayout(row({label(QStringLiteral("X-axis,Y-axis,Z-axis")), makeCombo(ids::SettingSensitivity)}));
    cardLayout->addWidget(impact, 1, 0);

    auto *parking = group(caption(163, "주차 설정"));
    auto *parkingLayout = new QGridLayout(parking);
    parkingLayout->addWidget(label(caption(164, "주차모드 전환")), 0, 0);
    parkingLayout->addWidget(makeCombo(ids::SettingParkingSelect), 0, 1);
    parkingLayout->addWidget(label(caption(167, "주차모드 진입시간")), 1, 0);
    parkingLayout->addWidget(makeCombo(ids::SettingParkingTime), 1, 1);
    cardLayout->addWidget(parking, 1, 1);

    auto *video = group(caption(168, "비디오 설정"));
    auto *videoLayout = new QGridLayout(video);
    videoLayout->addWidget(label(caption(169, "녹화품질")), 0, 0);
    videoLayout->addWidget(makeCombo(ids::SettingQuality), 0, 1);
    videoLayout->addWidget(label(caption(173, "비디오 채널")), 1, 0);
    videoLayout->addWidget(makeCombo(ids::SettingChannels), 1, 1);
    cardLayout->addWidget(video, 2, 0);

    auto *battery = group(caption(183, "차량배터리 "));
    auto *batteryLayout = new QGridLayout(battery);
    auto *car = new QRadioButton(caption(184, "승용차(12V)"), this);
    auto *truck = new QRadioButton(caption(185, "트    럭(24V)"), this);
    m_controls.insert(ids::SettingCarBattery, car);
    m_controls.insert(ids::SettingTruckBattery, truck);
    batteryLayout->addLayout(row({car, truck}), 0, 0, 1, 2);
    batteryLayout->addWidget(label(caption(186, "차단전압")), 1, 0);
    batteryLayout->addWidget(makeCombo(ids::SettingCutOff), 1, 1);
    // A click, even on the type already chosen, fills the cut-off list.
    for (QRadioButton *b : {car, truck})
        connect(b, &QRadioButton::clicked, this, [this, b, truck] {
            if (m_updating)
                return;
            fromWidgets();
            m_form.card.changeBattery(b == truck);
            toWidgets();
        });
    cardLayout->addWidget(battery, 2, 1);

    auto *audio = group(QStringLiteral("오디오 설정"));
    auto *audioLayout = new QGridLayout(audio);
    audioLayout->addWidget(label(caption(180, "오디오 상태")), 0, 0);
    audioLayout->addWidget(makeCheck(ids::SettingSound, caption(181, "오디오 녹음")), 0, 1);
    audioLayout->addWidget(label(caption(182, "스피커 볼륨")), 1, 0);
    audioLayout->addWidget(makeCombo(ids::SettingVolume), 1, 1);
    cardLayout->addWidget(audio, 3, 0);

    auto *timer = group(caption(177, "타이머 차단"));
    auto *timerLayout = new QVBoxLayout(timer);
    timerLayout->addWidget(label(caption(179, "타이머를 설정합니다."), true));
    timerLayout->addLayout(row({label(caption(177, "타이머 차단")), makeCombo(ids::SettingPowerOff)}));
    cardLayout->addWidget(timer, 3, 1);

    auto *lcd = group(QStringLiteral("LCD OFF"));
    auto *lcdLayout = new QVBoxLayout(lcd);
    lcdLayout->addWidget(label(caption(176, "LCD를 설정합니다."), true));
    lcdLayout->addLayout(row({label(QStringLiteral("LCD OFF")), makeCombo(ids::SettingLcdOff)}));
    cardLayout->addWidget(lcd, 4, 0);

    auto *clock = group(caption(187, " 드리보라 시간 설정"));
    auto *clockLayout = new QGridLayout(clock);
    QCheckBox *apply = makeCheck(ids::SettingApplyTime, caption(188, "적용"));
    clockLayout->addWidget(apply, 0, 0, 1, 2);
    clockLayout->addWidget(label(caption(136, "날짜")), 1, 0);
    clockLayout->addLayout(row({makeCombo(ids::SettingYear), makeCombo(ids::SettingMonth), makeCombo(ids::SettingDay)}), 1, 1);
    clockLayout->addWidget(label(caption(137, "시간")), 2, 0);
    clockLayout->addLayout(row({makeCombo(ids::SettingHour), makeCombo(ids::SettingMinute), makeCombo(ids::SettingSecond)}), 2, 1);
    connect(apply, &QCheckBox::toggled, this, [this](bool on) {
        if (m_updating)
            return;
        fromWidgets();
        m_form.setApplyTime(on, m_services.now());
        toWidgets();
    });
    cardLayout->addWidget(clock, 4, 1);
    connect(static_cast<QCheckBox *>(m_controls.value(ids::SettingSound)), &QCheckBox::toggled, this, [this] {
        if (!m_updating)
            fromWidgets();
    });

    // The viewer.
    auto *viewer = group(caption(189, " 드리보라 뷰어 환경 설정"));
    auto *viewerLayout = new QGridLayout(viewer);
    auto *folderGroup = group(caption(190, "저장 폴더 위치 설정"));
    auto *folderLayout = new QVBoxLayout(folderGroup);
    folderLayout->addWidget(label(caption(191, "캡처 이미지 저장 폴더를 설치합니다."), true));
    auto *folder = new QLineEdit(this);
    folder->setReadOnly(true);
    folder->setMinimumWidth(260);
    m_controls.insert(ids::SettingFolder, folder);
    QPushButton *change = makeButton(ids::SettingFolderChange, caption(193, "변경"));
    connect(change, &QPushButton::clicked, this, &CSettingDlg::changeFolder);
    folderLayout->addLayout(row({label(caption(192, "폴더")), folder, change}, false));
    viewerLayout->addWidget(folderGroup, 0, 0, 1, 2);

    auto *skip = group(caption(194, "영상 간격 설정"));
    auto *skipLayout = new QVBoxLayout(skip);
    skipLayout->addWidget(label(caption(195, "영상을 재생중 앞으로, 뒤로 감기 버튼 선택시 이동 간격을 선택합니다."), true));
    auto *number = new QLabel(this);
    number->setAlignment(Qt::AlignCenter);
    number->setMinimumWidth(28);
    m_controls.insert(ids::SettingSkipNumber, number);
    auto *slider = new QSlider(Qt::Horizontal, this);
    slider->setRange(1, 10);
    slider->setPageStep(1);
    m_controls.insert(ids::SettingSkipSlider, slider);
    connect(slider, &QSlider::valueChanged, this, [this, number](int v) {
        number->setText(QString::number(v));
        if (!m_updating)
            fromWidgets();
    });
    skipLayout->addLayout(row({number, slider}, false));
    viewerLayout->addWidget(skip, 1, 0);

    auto *rear = group(QStringLiteral("후방영상"));
    auto *rearLayout = new QVBoxLayout(rear);
    QCheckBox *mirror = makeCheck(ids::SettingRearMirror, QStringLiteral("후방영상 반전"));
    connect(mirror, &QCheckBox::toggled, this, [this] {
        if (!m_updating)
            fromWidgets();
    });
    rearLayout->addWidget(mirror);
    rearLayout->addStretch();
    viewerLayout->addWidget(rear, 1, 1);

    // The viewer's speed unit (kept beside the option file).
    auto *unit = group(QStringLiteral("속도 단위"));
    auto *unitLayout = new QHBoxLayout(unit);
    auto *kmh = new QRadioButton(QStringLiteral("km/h"), this);
    auto *mph = new QRadioButton(QStringLiteral("mph"), this);
    m_controls.insert(ids::SettingSpeedKmh, kmh);
    m_controls.insert(ids::SettingSpeedMph, mph);
    unitLayout->addWidget(kmh);
    unitLayout->addWidget(mph);
    unitLayout->addStretch();
    connect(mph, &QRadioButton::toggled, this, [this] {
        if (!m_updating)
            fromWidgets();
    });
    viewerLayout->addWidget(unit, 0, 2);

    // The buttons.
    QPushButton *defaults = makeButton(ids::SettingDefaults, caption(196, "기본값"));
    QPushButton *saveButton = makeButton(ids::SettingSave, caption(103, "저장"));
    QPushButton *cancel = makeButton(ids::SettingCancel, caption(143, "취소"));
    saveButton->setDefault(true);
    connect(defaults, &QPushButton::clicked, this, &CSettingDlg::restoreDefaults);
    connect(saveButton, &QPushButton::clicked, this, &CSettingDlg::save);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(defaults);
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(cancel);

    for (QGroupBox *g : findChildren<QGroupBox *>())
        if (g->layout())
            tight(g->layout());
    auto *all = new QVBoxLayout(this);
    all->setContentsMargins(10, 8, 10, 8);
    all->setSpacing(6);
    all->addWidget(card);
    all->addWidget(viewer);
    all->addLayout(buttons);
}

void CSettingDlg::toWidgets()
{
    m_updating = true;
    for (auto it = m_lists.cbegin(); it != m_lists.cend(); ++it) {
        QComboBox *c = combo(it.key());
        const QStringList &entries = it.value()->entries;
        bool same = c->count() == entries.size();
        for (int i = 0; same && i < entries.size(); ++i)
            same = c->itemText(i) == entries[i];
        if (!same) {
            c->clear();
            c->addItems(entries);
        }
        c->setCurrentIndex(it.value()->chosen);
    }
    combo(ids::SettingDrive)->setCurrentIndex(m_form.drive);
    static_cast<QCheckBox *>(m_controls.value(ids::SettingSound))->setChecked(m_form.card.sound);
    static_cast<QRadioButton *>(m_controls.value(ids::SettingCarBattery))->setChecked(!m_form.card.truck);
    static_cast<QRadioButton *>(m_controls.value(ids::SettingTruckBattery))->setChecked(m_form.card.truck);
    static_cast<QCheckBox *>(m_controls.value(ids::SettingApplyTime))->setChecked(m_form.card.applyTime);
    for (int id : {ids::SettingYear, ids::SettingMonth, ids::SettingDay, ids::SettingHour, ids::SettingMinute,
                   ids::SettingSecond})
        m_controls.value(id)->setEnabled(m_form.card.applyTime);
    static_cast<QLineEdit *>(m_controls.value(ids::SettingFolder))->setText(m_form.folder);
    static_cast<QLabel *>(m_controls.value(ids::SettingSkipNumber))->setText(QString::number(m_form.playValue));
    static_cast<QSlider *>(m_controls.value(ids::SettingSkipSlider))->setValue(m_form.playValue);
    static_cast<QCheckBox *>(m_controls.value(ids::SettingRearMirror))->setChecked(m_form.rearMirror);
    static_cast<QRadioButton *>(m_controls.value(ids::SettingSpeedKmh))->setChecked(!m_form.speedInMiles);
    static_cast<QRadioButton *>(m_controls.value(ids::SettingSpeedMph))->setChecked(m_form.speedInMiles);
    m_updating = false;
}

void CSettingDlg::fromWidgets()
{
    for (auto it = m_lists.cbegin(); it != m_lists.cend(); ++it)
        it.value()->chosen = combo(it.key())->currentIndex();
    m_form.card.sound = static_cast<QCheckBox *>(m_controls.value(ids::SettingSound))->isChecked();
    m_form.card.truck = static_cast<QRadioButton *>(m_controls.value(ids::SettingTruckBattery))->isChecked();
    m_form.card.applyTime = static_cast<QCheckBox *>(m_controls.value(ids::SettingApplyTime))->isChecked();
    m_form.playValue = static_cast<QLabel *>(m_controls.value(ids::SettingSkipNumber))->text().toInt();
    m_form.rearMirror = static_cast<QCheckBox *>(m_controls.value(ids::SettingRearMirror))->isChecked();
    m_form.speedInMiles = static_cast<QRadioButton *>(m_controls.value(ids::SettingSpeedMph))->isChecked();
}

void CSettingDlg::chooseDrive(int index)
{
    fromWidgets();
    const CardFileError error = m_form.chooseDrive(index);
    toWidgets();
    if (error.problem != CardFileProblem::None)
        m_services.messages->inform(this, QString::fromUtf8(ids::kSettingErrorCaption), CardErrorText(error));
}

void CSettingDlg::restoreDefaults()
{
    fromWidgets();
    m_form.defaults(m_services.now(), GetCaptureFolder());
    toWidgets();
}

void CSettingDlg::changeFolder()
{
    QString chosen;
    if (m_services.pickFolder && m_services.pickFolder(chosen) && !chosen.isEmpty()) {
        m_form.folder = chosen;
        static_cast<QLineEdit *>(m_controls.value(ids::SettingFolder))->setText(chosen);
    }
}

void CSettingDlg::formatDrive()
{
    const CardVolume *v = m_form.chosenDrive();
    if (!v)
        return;
    const QString caption = QString::fromUtf8(ids::kFormatCaption);
    switch (CheckFormat(*v, QDir::homePath())) {
    case FormatRefusal::NotFat:
        m_services.messages->inform(this, caption, QString::fromUtf8(ids::kFormatNotFat));
        return;
    case FormatRefusal::NotRemovable:
        m_services.messages->inform(this, caption, QString::fromUtf8(ids::kFormatNotRemovable));
        return;
    case FormatRefusal::SystemVolume:
        m_services.messages->inform(this, caption, QString::fromUtf8(ids::kFormatSystemVolume));
        return;
    case FormatRefusal::None:
        break;
    }
    if (!m_services.messages->askYesNo(this, caption, QString::fromUtf8(ids::kSettingFormatQuestion)))
        return;
    setCursor(Qt::WaitCursor);
    const FormatOutcome out = m_services.formatter->format(*v, QString::fromLatin1(kCardVolumeLabel));
    unsetCursor();
    m_services.messages->inform(this, caption,
                                out.done ? QString::fromUtf8(ids::kFormatDone).arg(QString::fromLatin1(kCardVolumeLabel))
                                         : QString::fromUtf8(ids::kFormatFailed).arg(out.detail));
}

void CSettingDlg::save()
{
    fromWidgets();
    QString why;
    switch (m_form.save(OptionFilePath(), ViewerOptions::instance(), &why)) {
    case SettingsForm::Saved::NoDrive:
        m_services.messages->inform(this, QString::fromUtf8(ids::kSettingErrorCaption),
                                    QString::fromUtf8(ids::kSettingNoDrive));
        return;
    case SettingsForm::Saved::CardNotWritten:
        m_services.messages->inform(this, QString::fromUtf8(ids::kSettingErrorCaption), why);
        return; // stays open: another drive, or cancel
    case SettingsForm::Saved::OptionsNotWritten:
        m_services.messages->inform(this, QString::fromUtf8(ids::kSettingErrorCaption),
                                    QString::fromUtf8(ids::kSettingOptionsNotWritten).arg(why));
        return;
    case SettingsForm::Saved::Done:
        accept();
        return;
    }
}

bool CSettingDlg::chooseDriveAt(const QString &root)
{
    if (root.isEmpty())
        return false;
    for (int i = 0; i < m_form.drives.size(); ++i)
        if (m_form.drives[i].root == root) {
            combo(ids::SettingDrive)->setCurrentIndex(i);
            chooseDrive(i);
            return true;
        }
    return false;
}

} // namespace drivora
