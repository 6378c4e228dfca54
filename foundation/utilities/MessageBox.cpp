#include "utilities/MessageBox.h"

#include "utilities/MessageBoxCapture.h"
#include "utilities/Util.h"

#include <atomic>
#include <cstdio>

namespace util {

namespace {

// Writes the box to standard error and takes its default button.
class StandardErrorBoxes : public MessageBoxService {
public:
    BoxAnswer show(const MessageBoxRequest& request) override
    {
        std::string line = toUtf8(request.caption) + ": " + toUtf8(request.text) + "\n";
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
        return request.defaultButton;
    }
};

StandardErrorBoxes g_standardErrorBoxes;
std::atomic<MessageBoxService*> g_service{nullptr};

BoxAnswer firstButton(BoxButtons buttons)
{
    switch (buttons) {
    case BoxButtons::Ok:
    case BoxButtons::OkCancel:
        return BoxAnswer::Ok;
    case BoxButtons::YesNo:
    case BoxButtons::YesNoCancel:
        return BoxAnswer::Yes;
    case BoxButtons::RetryCancel:
        return BoxAnswer::Retry;
    case BoxButtons::AbortRetryIgnore:
        return BoxAnswer::Abort;
    }
    return BoxAnswer::Ok;
}

} // namespace

MessageBoxService& messageBoxService()
{
    MessageBoxService* service = g_service.load();
    return service != nullptr ? *service : g_standardErrorBoxes;
}

void setMessageBoxService(MessageBoxService* service)
{
    g_service.store(service == &g_standardErrorBoxes ? nullptr : service);
}

bool isStandardErrorMessageBoxService()
{
    return g_service.load() == nullptr;
}

BoxAnswer messageBox(const std::wstring& caption, const std::wstring& text, BoxIcon icon,
                     BoxButtons buttons)
{
    return messageBox(caption, text, icon, buttons, firstButton(buttons));
}

BoxAnswer messageBox(const std::wstring& caption, const std::wstring& text, BoxIcon icon,
                     BoxButtons buttons, BoxAnswer defaultButton)
{
    MessageBoxRequest request;
    request.caption = caption;
    request.text = text;
    request.icon = icon;
    request.buttons = buttons;
    request.defaultButton = defaultButton;
    if (MessageBoxCapture* capture = MessageBoxCapture::current()) {
        capture->take(request);
        return defaultButton;
    }
    return messageBoxService().show(request);
}

} // namespace util
