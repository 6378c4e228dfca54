// The value viewers beside the bare libraries they wrap, in one run:
// thumbnails against a full QImage decode and scale, the certificate summary
// against a bare GnuTLS import and subject read, password hashing and
// checking against bare GnuTLS digests and libcrypt, and one tooltip.
#include "handles/gc_ptr.h"
#include "records/LDAPAttributeValue.h"
#include "support/TestDirectoryServer.h"
#include "values/CertificateSummary.h"
#include "values/PasswordHash.h"
#include "values/ValueThumbnail.h"
#include "values/ValueToolTip.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <gnutls/crypto.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <crypt.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

template <class Body>
double medianMs(int rounds, Body body)
{
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        const Clock::time_point start = Clock::now();
        body();
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

void row(const char* what, double ours, double bare)
{
    std::printf("%-44s %10.4f ms %10.4f ms %8.2f\n", what, ours, bare, ours / bare);
}

QByteArray photoOf(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, Qt::darkBlue);
    gradient.setColorAt(1, Qt::yellow);
    painter.fillRect(image.rect(), gradient);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    std::printf("%-44s %13s %13s %8s\n", "", "ours", "bare", "ratio");

    const std::string sample = dirtest::TestDirectoryServer::readDataFile(dirtest::sample::kPhotoFile);
    const QByteArray small(sample.data(), static_cast<qsizetype>(sample.size()));
    const QByteArray large = photoOf(3000, 2000);
    for (const auto& [name, bytes] : {std::pair<const char*, QByteArray>{"thumbnail, 8 x 8 JPEG", small},
                                      {"thumbnail, 3000 x 2000 JPEG", large}}) {
        const int rounds = bytes.size() > 100000 ? 9 : 201;
        const double ours = medianMs(rounds, [&]() { ValueThumbnail::decode(bytes); });
        const double bare = medianMs(rounds, [&]() {
            QImage image = QImage::fromData(bytes);
            if (image.width() > 128 || image.height() > 128)
                image = image.scaled(128, 128, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        });
        row(name, ours, bare);
    }
    const memorylib::gc_ptr<ldapmodel::LDAPAttributeValue> largeValue =
        new ldapmodel::LDAPAttributeValue(large.constData(), static_cast<std::size_t>(large.size()));
    const double tooltip = medianMs(9, [&]() {
        ValueToolTip::forValue(L"jpegPhoto", *largeValue, true, QStringLiteral("notice"));
    });
    row("tooltip of the 3000 x 2000 photo / thumbnail", tooltip,
        medianMs(9, [&]() { ValueThumbnail::decode(large); }));

    const std::string der = dirtest::TestDirectoryServer::readDataFile(dirtest::sample::kCertFile);
    const auto* derBytes = reinterpret_cast<const unsigned char*>(der.data());
    const double summary = medianMs(2001, [&]() {
        ldapmodel::CertificateSummary certificate;
        certificate.read(derBytes, der.size());
    });
    const double bareCertificate = medianMs(2001, [&]() {
        gnutls_x509_crt_t crt = nullptr;
        gnutls_x509_crt_init(&crt);
        gnutls_datum_t datum{const_cast<unsigned char*>(derBytes), static_cast<unsigned int>(der.size())};
        gnutls_x509_crt_import(crt, &datum, GNUTLS_X509_FMT_DER);
        gnutls_datum_t dn{nullptr, 0};
        gnutls_x509_crt_get_dn3(crt, &dn, 0);
        gnutls_free(dn.data);
        gnutls_x509_crt_deinit(crt);
    });
    row("certificate: all fields / import and subject", summary, bareCertificate);

    using ldapmodel::PasswordHash;
    using ldapmodel::PasswordScheme;
    const std::string password = "correct horse battery staple";
    const double ssha = medianMs(2001, [&]() { PasswordHash::make(PasswordScheme::Ssha512, password); });
    const double bareDigest = medianMs(2001, [&]() {
        unsigned char digest[64];
        const std::string salted = password + "12345678";
        gnutls_hash_fast(GNUTLS_DIG_SHA512, salted.data(), salted.size(), digest);
    });
    row("{SSHA512} make / bare SHA-512", ssha, bareDigest);
    const std::string sshaValue = PasswordHash::make(PasswordScheme::Ssha512, password);
    row("{SSHA512} check / bare SHA-512",
        medianMs(2001, [&]() { PasswordHash::check(sshaValue, password); }), bareDigest);

    const std::string cryptValue = PasswordHash::make(PasswordScheme::CryptSha512, password);
    auto area = std::make_unique<crypt_data>();
    const std::string setting = cryptValue.substr(7);
    const double bareCrypt = medianMs(51, [&]() {
        crypt_rn(password.c_str(), setting.c_str(), area.get(), sizeof *area);
    });
    row("{CRYPT} make / bare crypt_rn",
        medianMs(51, [&]() { PasswordHash::make(PasswordScheme::CryptSha512, password); }), bareCrypt);
    row("{CRYPT} check / bare crypt_rn",
        medianMs(51, [&]() { PasswordHash::check(cryptValue, password); }), bareCrypt);
    return 0;
}
