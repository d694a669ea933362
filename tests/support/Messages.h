// A message box for tests: records what it is told and asked, and answers.
#pragma once

#include "app/MessageBox.h"

#include <QStringList>

namespace testsupport {

class RecordingMessages : public drivora::IMessageBox {
public:
    void inform(QWidget *, const QString &caption, const QString &text) override { told << caption + ": " + text; }
    bool askYesNo(QWidget *, const QString &caption, const QString &text) override
    {
        asked << caption + ": " + text;
        return answer;
    }
    QStringList told, asked;
    bool answer = false;
};

} // namespace testsupport
