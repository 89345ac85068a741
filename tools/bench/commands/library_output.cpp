#include "commands/library_output.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "script_values.h"

namespace bench {

void RunCapturingOutput(std::ostream& out, const std::function<void()>& call)
{
    out.flush();
    std::fflush(stdout);
    std::FILE* capture = std::tmpfile();
    const int saved = capture != nullptr ? dup(STDOUT_FILENO) : -1;
    if (saved < 0 || dup2(fileno(capture), STDOUT_FILENO) < 0) {
        if (capture != nullptr) std::fclose(capture);
        if (saved >= 0) close(saved);
        throw CommandError("cannot catch the library's standard output");
    }
    call();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);

    std::string text;
    std::rewind(capture);
    for (int c; (c = std::fgetc(capture)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(capture);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out << "libout " << QuoteText(text.substr(start, end - start)) << '\n';
        start = end + 1;
    }
}

}  // namespace bench
