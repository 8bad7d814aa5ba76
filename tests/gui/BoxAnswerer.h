#pragma once
// Answers the program's message boxes in the window tests: every box that opens is recorded
// (its text, its owner and whether the splash window was still topmost) and answered by clicking
// the next scripted button (by its object name: "cmdOk", "cmdYes", "cmdNo",
// "cmdRetry", "cmdCancel"); unscripted boxes get OK, Yes or Retry. Made with a key, it answers
// every box with that key sent to the widget that has the focus (as a keyboard does), never to the
// box itself, and records which button that was.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

#include "gui/MessageBox.h"

namespace kmr::guitest {

struct SeenBox {
    QString text;
    QString owner;  // the object name of the window the box is over
    bool splashTopmost = false;
    QString focused;  // the object name of the widget the key went to
};

class BoxAnswerer : public QObject {
public:
    explicit BoxAnswerer(std::function<bool()> splashTopmost = {}) : splashTopmost_(std::move(splashTopmost)) {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, &BoxAnswerer::Poll);
        timer_.start();
    }
    explicit BoxAnswerer(Qt::Key key) : BoxAnswerer() { key_ = key; }
    std::deque<QString> script;
    std::vector<SeenBox> seen;
    // Called as each box is seen, before it is answered: what the window shows behind it.
    std::function<void()> onSeen;

private:
    void Poll() {
        auto* box = qobject_cast<gui::MessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible() || box->property("kmrSeen").toBool()) return;
        QWidget* target = QApplication::focusWidget();
        if (key_ != Qt::Key_unknown && (target == nullptr || target->window() != box)) {
            // Not active yet: the key would go nowhere. Asked again on the next poll; after two
            // seconds the box is closed, so that the test fails on the answer.
            if (!waiting_.isValid()) waiting_.start();
            if (waiting_.elapsed() < 2000) return;
            target = nullptr;
        }
        waiting_.invalidate();
        box->setProperty("kmrSeen", true);
        SeenBox s;
        if (auto* l = box->findChild<QLabel*>("lblText")) s.text = l->text();
        if (box->parentWidget() != nullptr) s.owner = box->parentWidget()->objectName();
        s.splashTopmost = splashTopmost_ && splashTopmost_();
        if (key_ != Qt::Key_unknown) s.focused = target != nullptr ? target->objectName() : QString("(none)");
        seen.push_back(s);
        if (onSeen) onSeen();
        if (key_ != Qt::Key_unknown) {
            if (target != nullptr) QTest::keyClick(target, key_);
            else box->close();
            return;
        }
        QString button = script.empty() ? QString() : script.front();
        if (!script.empty()) script.pop_front();
        for (const char* name : {"cmdOk", "cmdYes", "cmdRetry"})
            if (button.isEmpty() && box->findChild<QPushButton*>(name)) button = name;
        if (auto* b = box->findChild<QPushButton*>(button)) b->click();
    }

    QTimer timer_;
    QElapsedTimer waiting_;
    std::function<bool()> splashTopmost_;
    Qt::Key key_ = Qt::Key_unknown;
};

}  // namespace kmr::guitest
