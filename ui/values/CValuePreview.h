#pragma once

#include "values/ValueThumbnail.h"

#include <QFrame>

#include <string>

class QLabel;
class QPushButton;

namespace ldapmodel {
class LDAPAttributeValue;
}

// The preview pane of the value dialogs' binary mode: a thumbnail of an
// image, a certificate's subject, issuer and expiry with a button that asks
// for the viewer, or the size of any other value. A photo or certificate
// that cannot be read shows the notice and a line saying why.
class CValuePreview : public QFrame {
    Q_OBJECT
public:
    explicit CValuePreview(QWidget* parent = nullptr);
    ~CValuePreview() override;

    // The text shown with an unreadable photo or certificate.
    void setNotice(const QString& notice) { m_strNotice = notice; }
    // Shows value (null: none loaded) of attributeName.
    void showValue(const std::wstring& attributeName, const ldapmodel::LDAPAttributeValue* value);

    QLabel* getImageLabel() const { return m_pImage; }
    QLabel* getTextLabel() const { return m_pText; }
    // Shown for a readable certificate.
    QPushButton* getCertificateButton() const { return m_pCertificateButton; }
    // The last image decoded (invalid when the value was none).
    const ValueThumbnail& getThumbnail() const { return m_thumbnail; }

Q_SIGNALS:
    // The certificate button was pressed.
    void certificateRequested();

private:
    void showText(const QString& text);

    QString m_strNotice;
    QLabel* m_pImage = nullptr;
    QLabel* m_pText = nullptr;
    QPushButton* m_pCertificateButton = nullptr;
    ValueThumbnail m_thumbnail;
};
