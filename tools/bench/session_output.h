// What a session prints. The script's commands write on one thread while
// tracers print from the simulation's threads as transfers end; each line
// reaches the target whole, never cut by another thread's line.
#pragma once

#include <functional>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace bench {

class SessionOutput {
public:
    explicit SessionOutput(std::ostream& target);
    ~SessionOutput();
    SessionOutput(const SessionOutput&) = delete;
    SessionOutput& operator=(const SessionOutput&) = delete;

    // The commands' stream, for one thread at a time: a line goes to the
    // target when it ends, the rest of one when the stream is flushed.
    std::ostream& Stream() { return stream_; }
    // From any thread: one line, without its newline.
    void WriteLine(std::string_view line);
    // f reads or empties the target while no line is being written to it.
    void WithTarget(const std::function<void(std::ostream&)>& f);

private:
    class LineBuffer : public std::streambuf {
    public:
        explicit LineBuffer(SessionOutput& owner) : owner_(owner) {}

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* text, std::streamsize count) override;
        int sync() override;

    private:
        SessionOutput& owner_;
        std::string pending_;
    };

    void Write(std::string_view text);

    std::mutex lock_;
    std::ostream& target_;
    LineBuffer buffer_{*this};
    std::ostream stream_{&buffer_};
};

}  // namespace bench
