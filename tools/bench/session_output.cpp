#include "session_output.h"

namespace bench {

SessionOutput::SessionOutput(std::ostream& target) : target_(target) {}

SessionOutput::~SessionOutput() { stream_.flush(); }

void SessionOutput::WriteLine(std::string_view line)
{
    std::string whole(line);
    whole += '\n';
    Write(whole);
}

void SessionOutput::WithTarget(const std::function<void(std::ostream&)>& f)
{
    std::lock_guard lk(lock_);
    f(target_);
}

void SessionOutput::Write(std::string_view text)
{
    std::lock_guard lk(lock_);
    target_.write(text.data(), static_cast<std::streamsize>(text.size()));
}

SessionOutput::LineBuffer::int_type SessionOutput::LineBuffer::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char character = traits_type::to_char_type(c);
    xsputn(&character, 1);
    return c;
}

std::streamsize SessionOutput::LineBuffer::xsputn(const char* text, std::streamsize count)
{
    pending_.append(text, static_cast<size_t>(count));
    const size_t end = pending_.rfind('\n');
    if (end != std::string::npos) {
        owner_.Write(std::string_view(pending_).substr(0, end + 1));
        pending_.erase(0, end + 1);
    }
    return count;
}

int SessionOutput::LineBuffer::sync()
{
    if (!pending_.empty()) {
        owner_.Write(pending_);
        pending_.clear();
    }
    return 0;
}

}  // namespace bench
