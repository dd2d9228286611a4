#include "shell/TerminationSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSignals[3] = {SIGTERM, SIGINT, SIGHUP};

// Written by the handler, so lock-free atomics only.
std::atomic<int> firstSignal{0};
std::atomic<int> wakeFd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnTerminationSignal(int signalNumber) {
    const int savedErrno = errno;
    int none = 0;
    firstSignal.compare_exchange_strong(none, signalNumber);
    if (const int fd = wakeFd.load(); fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        // A full socket already holds a wake-up; nothing is lost by dropping this one.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

void Install(struct sigaction* previous) {
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    // SA_RESTART: a read or write under way carries on, so no file is cut short by the signal.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int i = 0; i < 3; ++i) {
        sigaction(kSignals[i], &action, previous != nullptr ? &previous[i] : nullptr);
    }
}

} // namespace

void InstallTerminationHandlers() {
    firstSignal.store(0);
    Install(nullptr);
}

int TerminationSignalReceived() {
    return firstSignal.load();
}

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) == 0) {
        wakeFd.store(fds[1]);
        notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
    }
    firstSignal.store(0);
    Install(previous);
}

TerminationSignals::~TerminationSignals() {
    for (int i = 0; i < 3; ++i) {
        sigaction(kSignals[i], &previous[i], nullptr);
    }
    wakeFd.store(-1);
    delete notifier;
    for (int fd : fds) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void TerminationSignals::readPipe() {
    unsigned char bytes[16];
    while (::read(fds[0], bytes, sizeof bytes) > 0) {
    }
    if (!told && firstSignal.load() != 0) {
        told = true;
        emit received(firstSignal.load());
    }
}
