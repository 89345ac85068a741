#include "pty/pseudo_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace bench {

namespace {

[[noreturn]] void ThrowErrno(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

PseudoTerminal::PseudoTerminal()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0)
        ThrowErrno("posix_openpt");
    char name[128];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        const int error = errno;
        close(master_);
        errno = error;
        ThrowErrno("pseudo-terminal slave");
    }
    path_ = name;
    // A slave never opened reports no hang-up; once opened and closed it
    // does until a program opens it.
    DiscardClientQueues();
}

PseudoTerminal::~PseudoTerminal()
{
    close(master_);
}

ptrdiff_t PseudoTerminal::Read(uint8_t* buffer, size_t size)
{
    const ssize_t n = read(master_, buffer, size);
    if (n > 0)
        return n;
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    return kClosed;  // EIO: the last program closed the slave
}

ptrdiff_t PseudoTerminal::Write(const uint8_t* data, size_t size)
{
    const ssize_t n = write(master_, data, size);
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    return kClosed;
}

bool PseudoTerminal::ClientPresent() const
{
    pollfd fd{master_, 0, 0};
    return poll(&fd, 1, 0) == 0 || (fd.revents & POLLHUP) == 0;
}

bool PseudoTerminal::InputWaiting() const
{
    pollfd fd{master_, POLLIN, 0};
    return poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN) != 0;
}

void PseudoTerminal::DiscardClientQueues()
{
    // Only the slave side can flush its own queues.
    const int slave = open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0)
        return;
    ioctl(slave, TCFLSH, TCIOFLUSH);
    close(slave);
}

bool PseudoTerminal::Settings(struct termios2* settings) const
{
    return ioctl(master_, TCGETS2, settings) == 0;
}

bool PseudoTerminal::SetSettings(const struct termios2& settings)
{
    return ioctl(master_, TCSETS2, &settings) == 0;
}

}  // namespace bench
