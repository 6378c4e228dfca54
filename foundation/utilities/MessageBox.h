#pragma once

#include <string>
#include <vector>

namespace util {

enum class BoxIcon { None, Information, Warning, Error, Question };

// Button sets a box can show.
enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };

enum class BoxAnswer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

struct MessageBoxRequest {
    std::wstring caption;
    std::wstring text;
    BoxIcon icon = BoxIcon::None;
    BoxButtons buttons = BoxButtons::Ok;
    BoxAnswer defaultButton = BoxAnswer::Ok;
};

// Every message box of the program goes through one service. The default
// writes the box to standard error and answers with its default button; the
// user interface installs a real one, tests install a scripted one.
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual BoxAnswer show(const MessageBoxRequest& request) = 0;
};

// The service in force; never null.
MessageBoxService& messageBoxService();
// Installs a service (not owned); null restores the default.
void setMessageBoxService(MessageBoxService* service);
// True while the default (standard error) service is in force.
bool isStandardErrorMessageBoxService();

// Shows a box through the service in force. The default button is the first
// button of the set unless given.
BoxAnswer messageBox(const std::wstring& caption, const std::wstring& text, BoxIcon icon,
                     BoxButtons buttons);
BoxAnswer messageBox(const std::wstring& caption, const std::wstring& text, BoxIcon icon,
                     BoxButtons buttons, BoxAnswer defaultButton);

} // namespace util
