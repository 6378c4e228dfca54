// The value viewers against the sample directory: the photo's thumbnail in
// the record view's tooltip and in the value dialogs' preview pane, the
// certificate's viewer (fields, expiry, saving as PEM and DER), the local
// time of GeneralizedTime values in the structural view, and the notice
// with an error line for a broken photo or certificate.

#include "dialogs/CDialogAddValue.h"
#include "dialogs/CDialogCertificate.h"
#include "dialogs/CDialogModifyValue.h"
#include "frame/CMainFrame.h"
#include "model/Model.h"
#include "records/LDAPAttribute.h"
#include "records/LDAPEntry.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "ui/support/MainFrameFixture.h"
#include "ui/support/ScriptedDialogs.h"
#include "ui/support/UiTestSupport.h"
#include "utilities/Util.h"
#include "values/CValuePreview.h"
#include "values/CertificateSummary.h"
#include "values/ValueTexts.h"
#include "values/ValueThumbnail.h"
#include "values/ValueToolTip.h"
#include "views/CListEntryAttributes.h"
#include "views/CListEntryStructuralAttributes.h"

#include <QBuffer>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

using dirtest::ScriptedDialogs;
using dirtest::ScriptedMessageBoxes;
using dirtest::TestDirectoryServer;
using ldapmodel::LDAPAttributeValue;
using memorylib::gc_ptr;
namespace sample = dirtest::sample;

namespace {

const QString kNotice = QStringLiteral("Binary value. Use \"Modify-Save\" to save to file");

std::string dataFile(const char* name)
{
    return TestDirectoryServer::readDataFile(name);
}

gc_ptr<LDAPAttributeValue> valueOf(const std::string& bytes)
{
    return new LDAPAttributeValue(bytes.data(), bytes.size());
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// The image behind the data URL of a tooltip or preview text.
QImage imageOfHtml(const QString& html)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("data:image/png;base64,([A-Za-z0-9+/=]+)")).match(html);
    if (!match.hasMatch())
        return QImage();
    return QImage::fromData(QByteArray::fromBase64(match.captured(1).toLatin1()), "PNG");
}

// A PNG whose header claims the size; CRCs computed as the format wants.
QByteArray pngHeaderClaiming(quint32 width, quint32 height)
{
    auto crc32 = [](const QByteArray& bytes) {
        quint32 crc = 0xFFFFFFFFu;
        for (char c : bytes) {
            crc ^= static_cast<quint8>(c);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    };
    auto be32 = [](quint32 value) {
        QByteArray bytes(4, '\0');
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<char>(value >> (24 - 8 * i));
        return bytes;
    };
    auto chunk = [&](const QByteArray& type, const QByteArray& data) {
        const QByteArray body = type + data;
        return be32(static_cast<quint32>(data.size())) + body + be32(crc32(body));
    };
    return QByteArray("\x89PNG\r\n\x1A\n", 8)
           + chunk("IHDR", be32(width) + be32(height) + QByteArray("\x08\x02\x00\x00\x00", 5))
           + chunk("IDAT", QByteArray("\x78\x9C\x03\x00\x00\x00\x00\x01", 8))
           + chunk("IEND", QByteArray());
}

// ---- thumbnails and tooltips on their own -------------------------------------

TEST(ValueThumbnail, ShowsImagesWithTheirTrueSize)
{
    const std::string photo = dataFile(sample::kPhotoFile);
    ValueThumbnail jpeg = ValueThumbnail::decode(photo.data(), static_cast<qsizetype>(photo.size()));
    ASSERT_TRUE(jpeg.isValid()) << jpeg.error().toStdString();
    EXPECT_EQ(jpeg.imageSize(), QSize(8, 8));
    EXPECT_EQ(jpeg.caption(), QStringLiteral("JPEG image, 8 x 8 pixels"));
    // Enlarged by a whole factor to be seen, every pixel the photo's grey.
    EXPECT_EQ(jpeg.thumbnail().size(), QSize(64, 64));
    EXPECT_EQ(jpeg.thumbnail().pixelColor(63, 63), QImage::fromData(QByteArray::fromStdString(photo)).pixelColor(7, 7));

    QImage wide(300, 150, QImage::Format_RGB32);
    wide.fill(Qt::darkCyan);
    const ValueThumbnail png = ValueThumbnail::decode(encoded(wide, "PNG"));
    EXPECT_EQ(png.format(), QStringLiteral("PNG"));
    EXPECT_EQ(png.imageSize(), QSize(300, 150));
    EXPECT_EQ(png.thumbnail().size(), QSize(128, 64));
    const ValueThumbnail big = ValueThumbnail::decode(encoded(QImage(1000, 2000, QImage::Format_RGB32), "JPEG"));
    EXPECT_EQ(big.imageSize(), QSize(1000, 2000));
    EXPECT_EQ(big.thumbnail().size(), QSize(64, 128));

    QImage small(40, 20, QImage::Format_RGB32);
    small.fill(Qt::red);
    const ValueThumbnail png40 = ValueThumbnail::decode(encoded(small, "PNG"));
    EXPECT_EQ(png40.thumbnail().size(), QSize(40, 20));  // 64 / 40: no whole factor above 1
    EXPECT_EQ(imageOfHtml(png40.toHtml()).size(), QSize(40, 20));
    EXPECT_TRUE(png40.toHtml().endsWith(QStringLiteral("<br>PNG image, 40 x 20 pixels")));

    // Qt writes no GIF: the smallest one by hand.
    const QByteArray onePixel("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00"
                              ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                              35);
    const ValueThumbnail gif = ValueThumbnail::decode(onePixel);
    EXPECT_EQ(gif.caption(), QStringLiteral("GIF image, 1 x 1 pixels"));
    EXPECT_EQ(gif.thumbnail().size(), QSize(64, 64));
}

TEST(ValueThumbnail, BrokenAndHugeImagesGiveAReason)
{
    const std::string photo = dataFile(sample::kPhotoFile);
    for (const QByteArray& bytes :
         {QByteArray::fromStdString(photo.substr(0, 100)), QByteArray::fromStdString(photo.substr(0, 4)),
          QByteArray("GIF89a\xff\xff\xff\xff", 10), QByteArray("not an image at all"), QByteArray()}) {
        const ValueThumbnail thumbnail = ValueThumbnail::decode(bytes);
        EXPECT_FALSE(thumbnail.isValid());
        EXPECT_FALSE(thumbnail.error().isEmpty());
    }
    const ValueThumbnail huge = ValueThumbnail::decode(pngHeaderClaiming(20000, 20000));
    EXPECT_FALSE(huge.isValid());
    EXPECT_EQ(huge.error(), QStringLiteral("The image is too large (20000 x 20000 pixels)."));
}

TEST(ValueToolTip, LocalTimeOfGeneralizedTimeValues)
{
    const char* saved = std::getenv("TZ");
    const std::string previous = saved != nullptr ? saved : "";
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
    EXPECT_EQ(ui::generalizedTimeToolTip("20261208050327Z"),
              QStringLiteral("Local time: 2026-12-08 06:03:27 CET"));
    EXPECT_EQ(ui::generalizedTimeToolTip("20260701050327.5Z"),
              QStringLiteral("Local time: 2026-07-01 07:03:27.500 CEST"));
    EXPECT_EQ(ui::generalizedTimeToolTip("20260701050327"), QString());
    const gc_ptr<LDAPAttributeValue> value = new LDAPAttributeValue(std::wstring(L"20261208050327Z"));
    EXPECT_EQ(ValueToolTip::forValue(L"modifyTimestamp", *value, false, kNotice),
              QStringLiteral("Local time: 2026-12-08 06:03:27 CET"));
    EXPECT_EQ(ValueToolTip::forValue(L"description", *value, false, kNotice), QString());
    if (saved != nullptr)
        ::setenv("TZ", previous.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST(ValueToolTip, BrokenPhotoAndCertificateShowTheNoticeAndAnErrorLine)
{
    const std::string photo = dataFile(sample::kPhotoFile);
    const std::string certificate = dataFile(sample::kCertFile);
    const QString photoTip =
        ValueToolTip::forValue(L"jpegPhoto", *valueOf(photo.substr(0, 100)), true, kNotice);
    EXPECT_EQ(photoTip, QStringLiteral("<p>") + kNotice.toHtmlEscaped()
                            + QStringLiteral("<br>Not a readable image: Unable to read image data</p>"));
    const QString certificateTip = ValueToolTip::forValue(
        L"userCertificate;binary", *valueOf(certificate.substr(0, 200)), true, kNotice);
    EXPECT_TRUE(certificateTip.startsWith(QStringLiteral("<p>") + kNotice.toHtmlEscaped()
                                          + QStringLiteral("<br>Not a readable certificate: ")))
        << certificateTip.toStdString();
    // Any binary value that is an image gets its thumbnail; text that looks
    // like one does not.
    EXPECT_FALSE(imageOfHtml(ValueToolTip::forValue(L"audio", *valueOf(photo), true, kNotice)).isNull());
    EXPECT_EQ(ValueToolTip::forValue(L"description", *valueOf("GIF89a and more"), false, kNotice),
              QString());
}

// ---- in the main window ----------------------------------------------------------

class ValueViewersTest : public dirtest::MainFrameFixture {
protected:
    CListEntryAttributes* record() const { return m_frame->getRecordView(); }

    int recordRow(const QString& name) const
    {
        for (int row = 0; row < record()->getRowCount(); ++row) {
            if (record()->getItemString(row, 0).compare(name, Qt::CaseInsensitive) == 0)
                return row;
        }
        return -1;
    }

    // The tooltip Qt shows when the mouse rests on row of view.
    static QString shownToolTip(CGridControl& view, int row)
    {
        const QRect rect = view.visualItemRect(view.topLevelItem(row));
        const QPoint position = rect.center();
        QHelpEvent event(QEvent::ToolTip, position, view.viewport()->mapToGlobal(position));
        QCoreApplication::sendEvent(view.viewport(), &event);
        const QString text = QToolTip::text();
        QToolTip::hideText();
        return text;
    }

    ScriptedMessageBoxes m_boxes;
    ScriptedDialogs m_dialogs;
};

TEST_F(ValueViewersTest, ThePhotoShowsAsAThumbnailWithItsTrueSize)
{
    open(util::fromUtf8(sample::kPhotoDn));
    const int row = recordRow(QStringLiteral("jpegPhoto"));
    ASSERT_GE(row, 0);
    EXPECT_EQ(record()->getItemString(row, 1), kNotice);
    const QString tip = shownToolTip(*record(), row);
    EXPECT_EQ(tip, record()->toolTipForRow(row));
    EXPECT_TRUE(tip.endsWith(QStringLiteral("<br>JPEG image, 8 x 8 pixels"))) << tip.toStdString();
    const QImage shown = imageOfHtml(tip);
    EXPECT_EQ(shown.size(), QSize(64, 64));
    // Other rows have nothing more to show.
    EXPECT_EQ(record()->toolTipForRow(recordRow(QStringLiteral("cn"))), QString());
}

TEST_F(ValueViewersTest, TheCertificateShowsItsSummaryAndOpensOnDoubleClick)
{
    open(util::fromUtf8(sample::kCertDn));
    const int row = recordRow(QStringLiteral("userCertificate;binary"));
    ASSERT_GE(row, 0);
    const std::string der = dataFile(sample::kCertFile);
    ldapmodel::CertificateSummary summary;
    ASSERT_TRUE(summary.read(reinterpret_cast<const unsigned char*>(der.data()), der.size()));
    const QString tip = shownToolTip(*record(), row);
    EXPECT_TRUE(tip.contains(QStringLiteral("Subject: CN=Carl Cert,O=Example Corp<br>")));
    EXPECT_TRUE(tip.contains(QStringLiteral("Valid until: 2126-11-13 21:03:27 UTC")));
    EXPECT_TRUE(tip.contains(QStringLiteral("Double-click to view the certificate.")));

    QStringList fields;
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& viewer = dynamic_cast<CDialogCertificate&>(dialog);
        for (const QString& label : viewer.getFieldLabels())
            fields << label + QLatin1Char(' ') + viewer.getFieldText(label);
        viewer.getCloseButton()->click();
    });
    const QRect rect = record()->visualItemRect(record()->topLevelItem(row));
    QTest::mouseClick(record()->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(record()->viewport(), Qt::LeftButton, {}, rect.center());
    ASSERT_EQ(m_dialogs.dialogClasses().back(), QStringLiteral("CDialogCertificate"));
    const std::time_t now = std::time(nullptr);
    EXPECT_EQ(fields,
              (QStringList{
                  "Subject: CN=Carl Cert,O=Example Corp",
                  "Issuer: CN=Carl Cert,O=Example Corp",
                  "Serial number: 4C:43:5E:31:78:72:FB:D1:3B:23:82:DA:94:6B:20:12:08:20:C3:A3",
                  "Version: 3",
                  QStringLiteral("Valid from: 2026-12-07 21:03:27 UTC")
                      + (summary.isNotYetValidAt(now) ? QStringLiteral(" (not yet valid)") : QString()),
                  "Valid until: 2126-11-13 21:03:27 UTC",
                  "Public key: EC/ECDSA SECP256R1, 256 bits",
                  "Signature algorithm: ECDSA-SHA256",
                  "SHA-1 fingerprint: F7:21:59:8B:3D:5B:94:E8:25:96:ED:1B:C5:39:56:C4:F8:13:2A:A4",
                  "SHA-256 fingerprint: 0A:1C:32:3E:39:DA:B9:07:0C:FC:EA:2A:A6:18:58:6C:02:FE:1F:D7:CC:"
                  "54:F0:18:A9:42:72:5A:90:CE:45:3D",
                  "Key usage: (none)",
                  "Extended key usage: (none)",
                  "Subject alternative names: (none)",
                  "Certificate authority: Yes",
              }));
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(ValueViewersTest, ViewerCommandsAreOfferedOnTheRowsTheyFit)
{
    open(util::fromUtf8(sample::kCertDn));
    auto extras = [this](const QString& name) {
        QMenu menu;
        record()->addValueViewerActions(menu, recordRow(name));
        QStringList texts;
        for (QAction* action : menu.actions())
            texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return texts;
    };
    EXPECT_EQ(extras(QStringLiteral("userCertificate;binary")), (QStringList{"-", "View Certificate..."}));
    EXPECT_EQ(extras(QStringLiteral("cn")), QStringList());
    open(util::fromUtf8(sample::kUser02Dn));
    EXPECT_EQ(extras(QStringLiteral("userPassword")),
              (QStringList{"-", "Set Password...", "Check Password..."}));

    // The viewer command on another value says what it wants.
    ASSERT_EQ(record()->selectRow(recordRow(QStringLiteral("cn"))), 0);
    EXPECT_EQ(m_frame->OnValueViewCertificate(), -1);
    EXPECT_EQ(dirtest::boxTexts(m_boxes),
              std::vector<std::wstring>{L"Please select a certificate value, first"});
}

TEST_F(ValueViewersTest, BrokenValuesFromTheServerShowTheNoticeAndAnErrorLine)
{
    // slapd checks certificates, so a broken one is put into the entry as
    // read, as a hostile server would send it.
    open(util::fromUtf8(sample::kCertDn));
    const gc_ptr<ldapmodel::LDAPEntry> entry = m_model->getActiveEntry();
    const std::string der = dataFile(sample::kCertFile);
    const std::string photo = dataFile(sample::kPhotoFile);
    gc_ptr<ldapmodel::LDAPAttribute> certificates = entry->getAttribute(L"userCertificate;binary");
    ASSERT_NE(certificates.getObject(), nullptr);
    certificates->addValue(valueOf(der.substr(0, der.size() - 10)));
    entry->addAttributeValue(L"jpegPhoto", valueOf(photo.substr(0, photo.size() / 2)));
    m_frame->FillRecordView();

    const int certificateRow = recordRow(QStringLiteral("userCertificate;binary")) + 1;
    EXPECT_EQ(record()->getItemString(certificateRow, 1), kNotice);
    EXPECT_TRUE(shownToolTip(*record(), certificateRow)
                    .startsWith(QStringLiteral("<p>") + kNotice.toHtmlEscaped()
                                + QStringLiteral("<br>Not a readable certificate: ")));
    const int photoRow = recordRow(QStringLiteral("jpegPhoto"));
    EXPECT_EQ(record()->getItemString(photoRow, 1), kNotice);
    EXPECT_EQ(shownToolTip(*record(), photoRow),
              QStringLiteral("<p>") + kNotice.toHtmlEscaped()
                  + QStringLiteral("<br>Not a readable image: Unable to read image data</p>"));

    // The viewer says so too, and opens nothing.
    ASSERT_EQ(record()->selectRow(certificateRow), 0);
    EXPECT_EQ(m_frame->OnValueViewCertificate(), -1);
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].caption, L"Certificate");
    EXPECT_EQ(m_boxes.boxes()[0].text.rfind(L"The value is not a certificate that can be read.\n", 0), 0u);
    for (const QString& shown : m_dialogs.dialogClasses())
        EXPECT_NE(shown, QStringLiteral("CDialogCertificate"));
    m_model->refreshActiveEntry(false);
}

TEST_F(ValueViewersTest, OperationalTimesShowTheirLocalTime)
{
    open(util::fromUtf8(sample::kUser01Dn));
    CListEntryStructuralAttributes* structural = m_frame->getStructuralView();
    int times = 0;
    for (int row = 0; row < structural->getRowCount(); ++row) {
        const QString name = structural->getItemString(row, 0);
        const QString tip = structural->toolTipForRow(row);
        if (name == QStringLiteral("createTimestamp") || name == QStringLiteral("modifyTimestamp")) {
            ++times;
            EXPECT_EQ(tip, ui::generalizedTimeToolTip(structural->getItemString(row, 1).toStdString()));
            EXPECT_TRUE(tip.startsWith(QStringLiteral("Local time: "))) << tip.toStdString();
            EXPECT_EQ(shownToolTip(*structural, row), tip);
        } else {
            EXPECT_EQ(tip, QString()) << name.toStdString();
        }
    }
    EXPECT_EQ(times, 2);
}

// ---- the value dialogs' preview pane ----------------------------------------------

class ValuePreviewTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_files.isValid()); }

    QString file(const char* name, const std::string& bytes)
    {
        const QString path = m_files.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(dirtest::writeBytes(path.toStdString(), bytes));
        return path;
    }

    QTemporaryDir m_files;
    ScriptedMessageBoxes m_boxes;
    ScriptedDialogs m_dialogs;
};

TEST_F(ValuePreviewTest, AddValueShowsTheLoadedPhotoOrWhyNot)
{
    const std::string photo = dataFile(sample::kPhotoFile);
    CDialogAddValue dialog;
    dialog.setAttributeName(L"jpegPhoto");
    dialog.setBinary(true);
    CValuePreview* preview = dialog.getPreview();
    EXPECT_FALSE(preview->isHidden());
    EXPECT_EQ(preview->getTextLabel()->text(), QStringLiteral("No value loaded."));

    m_dialogs.queueFile(file("photo.jpg", photo));
    ASSERT_EQ(dialog.OnLoadFromFile(), 0);
    EXPECT_EQ(preview->getTextLabel()->text(), QStringLiteral("JPEG image, 8 x 8 pixels"));
    EXPECT_EQ(preview->getThumbnail().imageSize(), QSize(8, 8));
    EXPECT_EQ(preview->getImageLabel()->pixmap().size(), QSize(64, 64));
    EXPECT_FALSE(preview->getImageLabel()->isHidden());

    m_dialogs.queueFile(file("broken.jpg", photo.substr(0, 60)));
    ASSERT_EQ(dialog.OnLoadFromFile(), 0);
    EXPECT_EQ(preview->getTextLabel()->text(),
              kNotice + QStringLiteral("\nNot a readable image: Unable to read image data"));
    EXPECT_TRUE(preview->getImageLabel()->isHidden());
    // The bytes are still what OK returns.
    EXPECT_EQ(dialog.getAttributeValue()->getByteString(), photo.substr(0, 60));

    // Other values show their size; a sound that is a picture its picture.
    CDialogAddValue audio;
    audio.setAttributeName(L"audio");
    audio.setBinary(true);
    m_dialogs.queueFile(file("other.bin", "\x01\x02\x03"));
    ASSERT_EQ(audio.OnLoadFromFile(), 0);
    EXPECT_EQ(audio.getPreview()->getTextLabel()->text(), QStringLiteral("Binary value, 3 bytes"));
    m_dialogs.queueFile(file("photo.jpg", photo));
    ASSERT_EQ(audio.OnLoadFromFile(), 0);
    EXPECT_EQ(audio.getPreview()->getTextLabel()->text(), QStringLiteral("JPEG image, 8 x 8 pixels"));

    // Text mode has no preview.
    CDialogAddValue text;
    text.setAttributeName(L"description");
    text.setBinary(false);
    EXPECT_TRUE(text.getPreview()->isHidden());
}

TEST_F(ValuePreviewTest, ModifyValueShowsTheCertificateAndOpensTheViewer)
{
    const std::string der = dataFile(sample::kCertFile);
    CDialogModifyValue dialog;
    dialog.setAttributeName(L"userCertificate;binary");
    dialog.setBinary(true);
    dialog.setTextValue(L"x");
    dialog.setAttributeValue(valueOf(der));
    CValuePreview* preview = dialog.getPreview();
    EXPECT_TRUE(preview->getTextLabel()->text().startsWith(
        QStringLiteral("Subject: CN=Carl Cert,O=Example Corp\nIssuer: CN=Carl Cert,O=Example Corp\n"
                       "Valid until: 2126-11-13 21:03:27 UTC")));
    ASSERT_FALSE(preview->getCertificateButton()->isHidden());
    QString subject;
    m_dialogs.queueDialog([&](QDialog& shown) {
        subject = dynamic_cast<CDialogCertificate&>(shown).getFieldText(QStringLiteral("Subject:"));
    });
    preview->getCertificateButton()->click();
    EXPECT_EQ(subject, QStringLiteral("CN=Carl Cert,O=Example Corp"));

    m_dialogs.queueFile(file("truncated.der", der.substr(0, 100)));
    ASSERT_EQ(dialog.OnLoadFromFile(), 0);
    EXPECT_TRUE(preview->getCertificateButton()->isHidden());
    EXPECT_TRUE(preview->getTextLabel()->text().startsWith(
        kNotice + QStringLiteral("\nNot a readable certificate: ")))
        << preview->getTextLabel()->text().toStdString();
}

TEST_F(ValuePreviewTest, CertificateViewerMarksExpiryAndSavesPemAndDer)
{
    const std::string der = dataFile(sample::kCertFile);
    ldapmodel::CertificateSummary summary;
    ASSERT_TRUE(summary.read(reinterpret_cast<const unsigned char*>(der.data()), der.size()));
    CDialogCertificate viewer;
    ASSERT_TRUE(viewer.setCertificate(summary, summary.getNotAfter() + 1));
    EXPECT_EQ(viewer.getFieldText(QStringLiteral("Valid until:")),
              QStringLiteral("2126-11-13 21:03:27 UTC (expired)"));
    EXPECT_TRUE(viewer.getFieldLabel(QStringLiteral("Valid until:"))->styleSheet().contains(QStringLiteral("color")));
    ASSERT_TRUE(viewer.setCertificate(summary, summary.getNotBefore() - 1));
    EXPECT_EQ(viewer.getFieldText(QStringLiteral("Valid from:")),
              QStringLiteral("2026-12-07 21:03:27 UTC (not yet valid)"));
    EXPECT_EQ(viewer.getFieldText(QStringLiteral("Valid until:")),
              QStringLiteral("2126-11-13 21:03:27 UTC"));
    EXPECT_TRUE(viewer.getFieldLabel(QStringLiteral("Valid until:"))->styleSheet().isEmpty());
    EXPECT_FALSE(viewer.setCertificate(ldapmodel::CertificateSummary(), 0));

    const QString pemPath = m_files.filePath(QStringLiteral("saved.pem"));
    const QString derPath = m_files.filePath(QStringLiteral("saved.der"));
    m_dialogs.queueFile(pemPath);
    m_dialogs.queueFile(derPath);
    m_dialogs.queueFile(std::nullopt);
    EXPECT_EQ(viewer.OnSavePem(), 0);
    EXPECT_EQ(viewer.OnSaveDer(), 0);
    EXPECT_EQ(viewer.OnSavePem(), -1);
    std::string opensslPem;
    ASSERT_EQ(TestDirectoryServer::runProcess({"openssl", "x509", "-inform", "DER", "-outform", "PEM"},
                                              der, opensslPem),
              0);
    EXPECT_EQ(dirtest::readBytes(pemPath.toStdString()), opensslPem);
    EXPECT_EQ(dirtest::readBytes(derPath.toStdString()), der);
    ASSERT_EQ(m_dialogs.fileCalls().size(), 3u);
    EXPECT_EQ(m_dialogs.fileCalls()[0].request.filters.first(),
              QStringLiteral("PEM Certificates (*.pem *.crt)"));
    EXPECT_EQ(m_dialogs.fileCalls()[1].request.filters.first(),
              QStringLiteral("DER Certificates (*.der *.cer)"));
}

} // namespace
