#include "MainMenu.h"

namespace drivora {

void FillMainContextMenu(QMenu &menu, const std::function<void(int)> &command)
{
    auto add = [&command](QMenu &to, int id, const char *caption) {
        QAction *action = to.addAction(QString::fromUtf8(caption));
        action->setData(id);
        QObject::connect(action, &QAction::triggered, &to, [command, id] { command(id); });
    };
    add(menu, 32810, "파일오픈");
    add(menu, 32811, "재생/정지");
    add(menu, 32812, "이전 영상");
    add(menu, 32813, "다음 영상");
    QMenu *bright = menu.addMenu(QStringLiteral("밝기"));
    add(*bright, 32814, "어둡게");
    add(*bright, 32815, "밝게");
    add(*bright, 32816, "기본값");
    QMenu *speed = menu.addMenu(QStringLiteral("속도"));
    add(*speed, 32817, "빠르게");
    add(*speed, 32818, "느리게");
    add(*speed, 32819, "기본값");
    QMenu *volume = menu.addMenu(QStringLiteral("볼륨"));
    add(*volume, 32820, "볼륨 업");
    add(*volume, 32821, "볼륨 다운");
    add(*volume, 32822, "음소거/복원");
}

} // namespace drivora
