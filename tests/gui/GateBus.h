#pragma once
// A bus for the window tests that holds the reply of chosen commands until the test releases it,
// so that a test can act while a call is in progress. It records every command written. Its calls
// run on the worker thread; the test releases from the window thread.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/instrument/GpibBus.h"

namespace kmr::guitest {

class GateBus : public GpibBus {
public:
    explicit GateBus(std::unique_ptr<GpibBus> inner) : inner_(std::move(inner)) {}

    // The next read after a write of `command` waits until Release().
    void Hold(const std::string& command) {
        std::lock_guard<std::mutex> l(m_);
        held_.insert(command);
    }
    void Release() {
        std::lock_guard<std::mutex> l(m_);
        held_.clear();
        released_ = true;
        cv_.notify_all();
    }
    // From now on every call fails as over a lost link (an adapter unplugged), until set back.
    void SetLinkLost(bool lost) {
        std::lock_guard<std::mutex> l(m_);
        lost_ = lost;
    }
    // The opens of the device (OpenDevice) so far.
    int Opens() const { return Locked(opens_); }
    // A read is waiting for Release().
    bool Waiting() const { return Locked(waiting_); }
    std::vector<std::string> Commands() const { return Locked(commands_); }

    GpibStatus OpenDevice(int board, int address, int secondary, int timeoutCode, int eot, int eos,
                          int& descriptor) override {
        {
            std::lock_guard<std::mutex> l(m_);
            ++opens_;
        }
        if (LostCall()) return LostStatus();
        return inner_->OpenDevice(board, address, secondary, timeoutCode, eot, eos, descriptor);
    }
    GpibStatus InterfaceClear(int board) override { return LostCall() ? LostStatus() : inner_->InterfaceClear(board); }
    GpibStatus DeviceClear(int board, int address) override {
        return LostCall() ? LostStatus() : inner_->DeviceClear(board, address);
    }
    GpibStatus BoardOffline(int board) override { return inner_->BoardOffline(board); }
    GpibStatus Write(int descriptor, const void* data, std::size_t count) override {
        std::string command(static_cast<const char*>(data), count);
        while (!command.empty() && (command.back() == '\n' || command.back() == '\r')) command.pop_back();
        {
            std::lock_guard<std::mutex> l(m_);
            commands_.push_back(command);
            holdNextRead_ = held_.count(command) != 0;
        }
        return LostCall() ? LostStatus() : inner_->Write(descriptor, data, count);
    }
    GpibStatus Read(int descriptor, void* buffer, std::size_t count) override {
        {
            std::unique_lock<std::mutex> l(m_);
            if (holdNextRead_) {
                holdNextRead_ = false;
                released_ = false;
                waiting_ = true;
                cv_.wait(l, [this] { return released_; });
                waiting_ = false;
            }
        }
        return LostCall() ? LostStatus() : inner_->Read(descriptor, buffer, count);
    }
    std::string LastProblem() const override { return inner_->LastProblem(); }
    std::string Describe() const override { return "gate:" + inner_->Describe(); }

private:
    // A copy of a member taken under the lock.
    template <typename T>
    T Locked(const T& member) const {
        std::lock_guard<std::mutex> l(m_);
        return member;
    }
    bool LostCall() const { return Locked(lost_); }
    static GpibStatus LostStatus() { return {kIbERR | kIbCMPL, kEDVR, 0}; }

    std::unique_ptr<GpibBus> inner_;
    bool lost_ = false;
    int opens_ = 0;
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::set<std::string> held_;
    bool holdNextRead_ = false;
    bool released_ = false;
    bool waiting_ = false;
    std::vector<std::string> commands_;
};

}  // namespace kmr::guitest
