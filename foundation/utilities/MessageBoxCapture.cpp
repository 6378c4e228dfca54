#include "utilities/MessageBoxCapture.h"

namespace util {

namespace {

thread_local MessageBoxCapture* t_pCapture = nullptr;

} // namespace

MessageBoxCapture::MessageBoxCapture() : m_pOuter(t_pCapture)
{
    t_pCapture = this;
}

MessageBoxCapture::~MessageBoxCapture()
{
    t_pCapture = m_pOuter;
}

MessageBoxCapture* MessageBoxCapture::current()
{
    return t_pCapture;
}

} // namespace util
