#include "session/ServerCertificateService.h"

#include "logging/Log.h"

#include <atomic>

namespace ldapmodel {

namespace {

class RefusingService : public ServerCertificateService {
public:
    bool accept(const ServerCertificate& certificate) override
    {
        util::Log::getLog(L"ldapmodel")
            ->write(L"ServerCertificateService: certificate of %s:%d refused (nobody to ask)",
                    certificate.host.c_str(), certificate.port);
        return false;
    }
};

RefusingService g_refusing;
std::atomic<ServerCertificateService*> g_installed{nullptr};

} // namespace

ServerCertificateService& serverCertificateService()
{
    ServerCertificateService* service = g_installed.load();
    return service != nullptr ? *service : g_refusing;
}

void setServerCertificateService(ServerCertificateService* service)
{
    g_installed.store(service);
}

} // namespace ldapmodel
