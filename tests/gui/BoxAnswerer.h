#pragma once
// Answers the program's message boxes in the window tests: every box that opens is recorded
// (title, text, whether the owner was disabled and the splash window still topmost) and answered
// by clicking the next scripted button (by its object name: "cmdOk", "cmdYes", "cmdNo",
// "cmdRetry", "cmdCancel"), or closed with its close box for "close". Unscripted boxes get OK,
// Yes or Retry.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <functional>

#include "gui/MessageBox.h"

namespace kmr::guitest {

struct SeenBox {
    QString title;
    QString text;
    bool ownerDisabled = false;
    bool splashTopmost = false;
};

class BoxAnswerer : public QObject {
public:
    explicit BoxAnswerer(std::function<bool()> splashTopmost = {}) : splashTopmost_(std::move(splashTopmost)) {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, &BoxAnswerer::Poll);
        timer_.start();
    }
    std::deque<QString> script;
    std::vector<SeenBox> seen;

private:
    void Poll() {
        auto* box = qobject_cast<gui::MessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible() || box->property("kmrSeen").toBool()) return;
        box->setProperty("kmrSeen", true);
        SeenBox s;
        s.title = box->windowTitle();
        if (auto* l = box->findChild<QLabel*>("lblText")) s.text = l->text();
        s.ownerDisabled = box->parentWidget() != nullptr && !box->parentWidget()->isEnabled();
        s.splashTopmost = splashTopmost_ && splashTopmost_();
        seen.push_back(s);
        QString button;
        if (!script.empty()) {
            button = script.front();
            script.pop_front();
        }
        if (button == "close") {
            box->close();
            return;
        }
        if (button.isEmpty()) {
            for (const char* name : {"cmdOk", "cmdYes", "cmdRetry"})
                if (box->findChild<QPushButton*>(name)) {
                    button = name;
                    break;
                }
        }
        if (auto* b = box->findChild<QPushButton*>(button)) b->click();
    }

    QTimer timer_;
    std::function<bool()> splashTopmost_;
};

}  // namespace kmr::guitest
