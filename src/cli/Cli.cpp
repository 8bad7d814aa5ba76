#include "cli/Cli.h"

#include <cstdlib>
#include <ostream>

#include "core/support/TextTable.h"

namespace kmr::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

const Subcommand* Find(const std::string& name) {
    for (const auto& s : Subcommands())
        if (name == s.name) return &s;
    return nullptr;
}

}  // namespace

std::string Say(const std::string& english, const std::string& japanese) {
    return TextLanguage() == Language::Japanese ? japanese : english;
}

void PrintHelp(std::ostream& os) {
    os << Say("Usage: kmr COMMAND [ARGUMENTS]\n\nCommands:\n", "使い方: kmr コマンド [引数]\n\nコマンド:\n");
    for (const auto& s : Subcommands()) os << "  kmr " << s.name << " " << s.usage << "\n      " << s.summary << "\n";
    os << "  kmr --help\n"
       << Say("\nExit status: 0 when everything was done, 1 when something failed (the reason is on\n"
              "standard error), 2 for wrong usage.\n",
              "\n終了コード: すべて成功すると 0、失敗があると 1 (理由は標準エラー出力)、使い方の誤りは 2。\n");
}

int RunKmr(const std::vector<std::string>& args, CliIo& io) {
    if (args.empty()) {
        PrintHelp(io.err);
        return 2;
    }
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        PrintHelp(io.out);
        return 0;
    }
    const Subcommand* sub = Find(first);
    if (!sub) {
        io.err << "kmr: " << Say("unknown command \"", "不明なコマンド \"") << first << "\"\n";
        PrintHelp(io.err);
        return 2;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const auto& a : rest) {
        if (a == "--help" || a == "-h") {
            io.out << "Usage: kmr " << sub->name << " " << sub->usage << "\n  " << sub->summary << "\n";
            return 0;
        }
    }
    return sub->run(rest, io);
}

MsgAnswer CliUiPort::ShowMessage(const std::string& text, const std::string& title, MsgIcon, MsgButtons buttons,
                                 bool, int) {
    ++messages_;
    if (beforeMessage) beforeMessage();
    err_ << title << ": " << text << "\n";
    err_.flush();
    switch (buttons) {
        case MsgButtons::Ok: return MsgAnswer::Ok;
        case MsgButtons::YesNo: return MsgAnswer::No;
        case MsgButtons::RetryCancel: return MsgAnswer::Cancel;
    }
    return MsgAnswer::Ok;
}

void CliUiPort::TerminateProgram() {
    err_.flush();
    std::exit(1);
}

TerminalProgressView::TerminalProgressView(std::ostream& err, bool draw) : err_(err), draw_(draw) {
    g_interrupted = 0;
    previous_ = std::signal(SIGINT, OnInterrupt);
}

TerminalProgressView::~TerminalProgressView() {
    std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
}

void TerminalProgressView::Show(const std::string& label1, const std::string&) {
    label_ = label1;
    last_ = -1;
    SetPercent(0);
}

void TerminalProgressView::SetPercent(int percent) {
    if (!draw_ || percent == last_) return;
    last_ = percent;
    shown_ = true;
    constexpr int width = 30;
    const int filled = percent * width / 100;
    err_ << "\r" << label_ << " [" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(width - filled), '.') << "] " << percent << "%";
    err_.flush();
}

void TerminalProgressView::Close() {
    if (draw_ && shown_) err_ << "\n";
    shown_ = false;
}

void TerminalProgressView::BreakLine() {
    if (draw_ && shown_) err_ << "\n";
    shown_ = false;
    last_ = -1;
}

bool TerminalProgressView::ProcessEventsAndCheckCancel() { return g_interrupted != 0; }

}  // namespace kmr::cli
