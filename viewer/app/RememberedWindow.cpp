// The main window's memory from one run to the next (its place and size, the
// channels shown, the last folder and the settings' last drive) and the list
// that follows the folders it shows.
#include "CDrivoraViewerDlg.h"

#include "WindowPlacement.h"
#include "catalogue/RecordingCatalogue.h"
#include "controls/CDvListCtrl.h"
#include "settings/ViewerOptions.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace drivora {
namespace {

bool &rememberAcrossRuns()
{
    static bool on = true;
    return on;
}

QList<QRect> &screenAreasForTesting()
{
    static QList<QRect> areas;
    return areas;
}

QList<QRect> ScreenAreas()
{
    if (!screenAreasForTesting().isEmpty())
        return screenAreasForTesting();
    QList<QRect> areas;
    if (QScreen *primary = QGuiApplication::primaryScreen())
        areas << primary->availableGeometry();
    for (QScreen *s : QGuiApplication::screens())
        if (s != QGuiApplication::primaryScreen())
            areas << s->availableGeometry();
    return areas;
}

// The open folder above the list, shortened in the middle when long (the
// card's name and the recording folder's stay in sight).
class FolderNameCtrl final : public QWidget {
public:
    explicit FolderNameCtrl(QWidget *parent) : QWidget(parent) {}
    void setFolder(const QString &text)
    {
        m_text = text;
        setToolTip(text);
        update();
    }
    QString folder() const { return m_text; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(0x14, 0x14, 0x14));
        p.setPen(QColor(200, 200, 200));
        const QRect r = rect().adjusted(4, 0, -4, 0);
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, fontMetrics().elidedText(m_text, Qt::ElideMiddle, r.width()));
    }

private:
    QString m_text;
};

} // namespace

void CDrivoraViewerDlg::setRememberAcrossRuns(bool on)
{
    rememberAcrossRuns() = on;
}

void CDrivoraViewerDlg::setScreenAreasForTesting(const QList<QRect> &areas)
{
    screenAreasForTesting() = areas;
}

void CDrivoraViewerDlg::setupRemembering()
{
    m_folderName = new FolderNameCtrl(this);
    m_folderName->setFocusPolicy(Qt::NoFocus);
    connect(&m_folderWatch, &FolderWatch::changed, this, &CDrivoraViewerDlg::refreshList);
    connect(m_list, &CDvListCtrl::refreshCommand, this, &CDrivoraViewerDlg::refreshList);
    connect(m_list, &CDvListCtrl::recordingsDropped, this, [this] { followPaths(m_list->takenPaths()); });
    // A playing row whose file has gone goes once it is left.
    connect(&m_tick, &QTimer::timeout, this, &CDrivoraViewerDlg::leaveVanishedRow);
    m_stateSave.setSingleShot(true);
    m_stateSave.setInterval(ids::kStateSaveDelayMs);
    connect(&m_stateSave, &QTimer::timeout, this, &CDrivoraViewerDlg::saveRememberedState);

    m_remembering = rememberAcrossRuns() && !OptionFilePath().isEmpty();
    if (!m_remembering || !ReadViewerState(ViewerStateFilePath(OptionFilePath()), m_state))
        return;
    if (!m_state.geometry.isEmpty())
        setGeometry(PlaceOnScreens(m_state.geometry, ScreenAreas(), minimumSize()));
    if (m_state.maximised)
        setWindowState(windowState() | Qt::WindowMaximized);
    m_transport->presetViewMode(m_state.viewMode);
    setViewButtons(m_transport->viewMode());
    m_stateSave.stop(); // nothing has changed yet
}

void CDrivoraViewerDlg::stateChanged()
{
    if (m_remembering)
        m_stateSave.start();
}

bool CDrivoraViewerDlg::saveRememberedState()
{
    m_stateSave.stop();
    if (!m_remembering)
        return true;
    // The place it has when neither maximised nor on the whole screen.
    if (m_videoFullScreen)
        m_state.geometry = m_wasMaximised ? normalGeometry() : m_normalGeometry;
    else
        m_state.geometry = isMaximized() ? normalGeometry() : geometry();
    m_state.maximised = m_videoFullScreen ? m_wasMaximised : isMaximized();
    m_state.viewMode = m_transport->viewMode();
    const QString path = ViewerStateFilePath(OptionFilePath());
    if (WriteViewerState(path, m_state))
        return true;
    qWarning("%s", qPrintable(QString::fromUtf8(ids::kStateNotSaved).arg(QDir::toNativeSeparators(path))));
    return false;
}

bool CDrivoraViewerDlg::reopenLastFolder()
{
    if (!m_remembering || m_state.folder.isEmpty() || !QFileInfo(m_state.folder).isDir())
        return false;
    openPaths({m_state.folder});
    return true;
}

void CDrivoraViewerDlg::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    stateChanged();
}

void CDrivoraViewerDlg::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        stateChanged();
}

void CDrivoraViewerDlg::followPaths(const QStringList &paths)
{
    m_keptVanished.clear();
    m_folderWatch.follow(paths);
    QStringList shown;
    for (const QString &p : paths)
        shown << QDir::toNativeSeparators(QDir::cleanPath(p));
    static_cast<FolderNameCtrl *>(m_folderName)->setFolder(shown.join(QStringLiteral("; ")));
    for (const QString &p : paths)
        if (QFileInfo(p).isDir()) {
            if (m_state.folder != QDir::cleanPath(p)) {
                m_state.folder = QDir::cleanPath(p);
                saveRememberedState();
            }
            break;
        }
}

QString CDrivoraViewerDlg::folderShown() const
{
    return static_cast<FolderNameCtrl *>(m_folderName)->folder();
}

void CDrivoraViewerDlg::refreshList()
{
    const QStringList paths = m_folderWatch.opened();
    if (paths.isEmpty())
        return;
    ClearCatalogue();
    for (const QString &path : paths) {
        if (QFileInfo(path).isDir())
            AddRecordingPath(path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/'));
        else
            AddRecordingFile(path);
    }
    const int s = m_playerTransport->state();
    const bool plays = s == ITransport::Running || s == ITransport::Paused;
    const bool hadRows = m_list->rows()->rowCount() > 0;
    m_keptVanished.clear();
    if (m_list->refresh(m_list->filterKind(), plays))
        m_keptVanished = m_list->rowPath(m_list->currentRow());
    if (m_list->rows()->rowCount() == 0 && hadRows && !plays) {
        m_transport->ResetTransport(true);
        clearRecordingShown();
    } else if (!hadRows && m_list->rows()->rowCount() > 0 && !plays) {
        // The first recordings in a folder that had none: shown as an open shows them.
        afterFill(false);
        m_list->setCurrentRow(0);
    }
    refreshCategoryButtons();
}

void CDrivoraViewerDlg::leaveVanishedRow()
{
    if (m_keptVanished.isEmpty())
        return;
    const int s = m_playerTransport->state();
    const bool plays = s == ITransport::Running || s == ITransport::Paused;
    // Kept while it plays; gone once another plays or it has ended.
    if (plays && m_list->currentRow() >= 0 && m_list->rowPath(m_list->currentRow()) == m_keptVanished)
        return;
    refreshList();
}

} // namespace drivora
