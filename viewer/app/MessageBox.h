#pragma once

#include <QString>

class QWidget;

namespace drivora {

// How a window asks and tells the user: a real message box, or in tests a
// recorder that answers.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    virtual void inform(QWidget *owner, const QString &caption, const QString &text) = 0;
    virtual bool askYesNo(QWidget *owner, const QString &caption, const QString &text) = 0;
};

} // namespace drivora
