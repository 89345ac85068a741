// The master side of a new Linux pseudo-terminal, without blocking: what
// the program on its slave side (PATH) wrote, room for what it is to
// read, its terminal settings, and whether it has PATH open.
#pragma once

#include <asm/termbits.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace bench {

class PseudoTerminal {
public:
    // Opens a new pair; throws std::system_error when the system has none.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& Path() const { return path_; }
    int Master() const { return master_; }

    // Bytes moved, 0 when nothing could move now, or kClosed once no program
    // has the slave open (and, reading, all it wrote has been taken).
    static constexpr ptrdiff_t kClosed = -1;
    ptrdiff_t Read(uint8_t* buffer, size_t size);
    ptrdiff_t Write(const uint8_t* data, size_t size);

    // Whether a program has the slave open.
    bool ClientPresent() const;
    // Whether the program wrote something not yet read.
    bool InputWaiting() const;
    // Throws away what the slave side holds for a program to read, as a
    // terminal's last close does.
    void DiscardClientQueues();

    // The slave's terminal settings, read and set through the master.
    bool Settings(struct termios2* settings) const;
    bool SetSettings(const struct termios2& settings);

private:
    int master_ = -1;
    std::string path_;
};

}  // namespace bench
