#include "MainMenu.h"

#include "app/ViewerIds.h"

namespace drivora {

void FillMainContextMenu(QMenu &menu, const std::function<void(int)> &command, bool tripView)
{
    auto add = [&command](QMenu &to, int id, const char *caption) {
        QAction *action = to.addAction(QString::fromUtf8(caption));
        action->setData(id);
        QObject::connect(action, &QAction::triggered, &to, [command, id] { command(id); });
    };
    // Each item with its key, as the window takes them.
    add(menu, ids::MenuOpen, "파일오픈\tCtrl+O");
    add(menu, ids::MenuPlayPause, "재생/정지\tSpace");
    add(menu, ids::MenuPrevious, "이전 영상\tPgUp");
    add(menu, ids::MenuNext, "다음 영상\tPgDown");
    QMenu *bright = menu.addMenu(QStringLiteral("밝기"));
    add(*bright, ids::MenuDarker, "어둡게");
    add(*bright, ids::MenuBrighter, "밝게");
    add(*bright, ids::MenuBrightnessDefault, "기본값");
    QMenu *speed = menu.addMenu(QStringLiteral("속도"));
    add(*speed, ids::MenuFaster, "빠르게\t]");
    add(*speed, ids::MenuSlower, "느리게\t[");
    add(*speed, ids::MenuSpeedDefault, "기본값");
    QMenu *volume = menu.addMenu(QStringLiteral("볼륨"));
    add(*volume, ids::MenuVolumeUp, "볼륨 업\t↑");
    add(*volume, ids::MenuVolumeDown, "볼륨 다운\t↓");
    add(*volume, ids::MenuMute, "음소거/복원\tM");
    menu.addSeparator();
    add(menu, ids::MenuFrameNext, "다음 프레임\t.");
    add(menu, ids::MenuFramePrevious, "이전 프레임\t,");
    add(menu, ids::MenuToStart, "처음으로\tHome");
    add(menu, ids::MenuToEnd, "끝으로\tEnd");
    add(menu, ids::MenuFullScreen, "전체 화면\tF11");
    add(menu, ids::MenuNextImpact, "다음 충격 지점\tCtrl+→");
    add(menu, ids::MenuPreviousImpact, "이전 충격 지점\tCtrl+←");
    add(menu, ids::MenuTripView, "트립 전체 보기 (경로와 시간)");
    menu.actions().constLast()->setCheckable(true);
    menu.actions().constLast()->setChecked(tripView);
}

} // namespace drivora
