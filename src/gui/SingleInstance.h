#pragma once
// One running program per user: a lock file decides who is first; the first listens on a local
// socket, and a later start asks it through the socket to bring its window to the front.
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "core/app/SecondStart.h"

namespace kmr::gui {

class SingleInstance : public QObject, public RunningInstancePort {
    Q_OBJECT
public:
    // `key` names the lock and the socket; the program uses DefaultKey().
    explicit SingleInstance(const QString& key);
    ~SingleInstance() override;
    static QString DefaultKey();

    // True when no other instance runs; this one then listens for later starts.
    bool Claim() override;
    // Claim() found no other instance.
    bool IsFirst() const { return lock_ != nullptr; }
    // Asks the running instance to bring its window to the front, and to open `dataFile` when one
    // is given (a record opened from a file manager while the program runs); true when it answered.
    bool ActivateRunning(const std::string& dataFile = {}) override;
    // Called in the first instance when a later start asks for the window.
    std::function<void()> onActivate;
    // Called in the first instance when a later start hands it a data file to open.
    std::function<void(const QString&)> onOpen;

private:
    QString key_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
};

}  // namespace kmr::gui
