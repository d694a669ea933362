// The one web map of the process: the product's page beside the program,
// driven by the playback position. It is created once and moved between the
// main window's map panel and the floating map window, never made twice.
#pragma once

#include <QString>

#include "catalogue/Telemetry.h"
#include <QWebEngineView>

#include <cstdint>
#include <functional>

namespace drivora {

class CDvMapPanelCtrl;

class CMapViewWnd : public QWebEngineView {
    Q_OBJECT
public:
    explicit CMapViewWnd(QWidget *parent = nullptr);

    // The page: the program's folder followed by /map/Map.htm; empty when the
    // program's folder cannot be told.
    static QString MapPagePath();

    // Loads the page (nothing when the program's folder is unknown).
    void NavigateMapPage();
    // Moves the marker to the GPS fix of a playback position.
    void UpdateMapPosition(uint32_t positionMs);
    void CenterMap();
    // Draws the route of one or more tracks (a trip), coloured by speed.
    void ShowRoute(const std::vector<const TelemetryTrack<CGPSData> *> &tracks);
    // Runs a script text ("javascript:name(args)") as a call of the page's
    // global function; `done` gets its result, or an empty text. Until the
    // page has loaded, the last marker move and a centring wait for it;
    // other calls answer empty at once.
    void CallPageScript(const QString &script, std::function<void(const QString &)> done = {});
    // Moves the view into a map panel (the old panel forgets it) and centres it.
    void AttachMapView(CDvMapPanelCtrl *panel);

    bool isPageReady() const { return m_ready; }
    // Script calls sent to the page so far (the marker moves of a track).
    uint64_t scriptsSent() const { return m_sent; }

signals:
    void pageReady(bool ok);

private:
    void send(const QString &source, std::function<void(const QString &)> done);

    bool m_loading = false;
    bool m_ready = false;
    QString m_waitingRoute;  // the last route drawn while loading
    QString m_waitingMove;   // the last marker move made while loading
    bool m_waitingCenter = false;
    uint64_t m_sent = 0;
};

} // namespace drivora
