#pragma once

#include <string>

namespace util {

// Replaces a file's content as a whole with an owner-only (0600) file: the
// bytes go to a new file beside it (".<name>.XXXXXX"), synced, then renamed
// over it. A reader never sees half of it, and a link at the path is
// replaced, never followed.
class PrivateFile {
public:
    // The step that failed, with the system's error code (0 for NotRegular).
    enum class Step { Done, NotRegular, Create, MakePrivate, Write, Close, Rename };
    struct Result {
        Step step = Step::Done;
        int error = 0;
        bool ok() const { return step == Step::Done; }
    };

    static Result replace(const std::string& path, const std::string& content);
};

} // namespace util
