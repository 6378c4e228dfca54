#include "frame/DialogFrameCommands.h"

#include "frame/CMainFrame.h"
#include "views/CListEntryAttributes.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaObject>
#include <QWidget>

#include <utility>

namespace ui {

int MainFrameCommands::runCommand(const char* handlerName)
{
    return invokeIntSlot(m_pFrame, handlerName);
}

void MainFrameCommands::setSelectionFromDialog(const std::wstring& name, const std::wstring& value,
                                               int index, int row)
{
    if (m_pFrame == nullptr)
        return;
    // The row first: selecting it must not undo the hand-over.
    if (CListEntryAttributes* view = m_pFrame->getRecordView())
        view->selectRow(row);
    m_pFrame->setSelectionFromDialog(name, value, index);
}

int invokeIntSlot(QObject* object, const char* handlerName)
{
    if (object == nullptr || handlerName == nullptr)
        return -1;
    int result = -1;
    if (!QMetaObject::invokeMethod(object, handlerName, Qt::DirectConnection,
                                   Q_RETURN_ARG(int, result)))
        return -1;
    return result;
}

QSize dialogUnits(const QWidget& widget, int width, int height)
{
    // A dialog unit is a quarter of the average character width across and
    // an eighth of the character height down.
    const QFontMetrics metrics(widget.font());
    const int baseX = metrics.averageCharWidth();
    const int baseY = metrics.height();
    return QSize(width * baseX / 4, height * baseY / 8);
}

SyntaxFields createSyntaxFields(QWidget* parent)
{
    SyntaxFields fields;
    fields.group = new QGroupBox(QStringLiteral("Attribute Syntax"), parent);
    fields.oid = new QLineEdit(fields.group);
    fields.description = new QLineEdit(fields.group);
    fields.length = new QLineEdit(fields.group);
    auto* layout = new QGridLayout(fields.group);
    int row = 0;
    for (auto [label, edit] : {std::pair{QStringLiteral("OID"), fields.oid},
                               std::pair{QStringLiteral("Description"), fields.description},
                               std::pair{QStringLiteral("Length"), fields.length}}) {
        edit->setReadOnly(true);
        layout->addWidget(new QLabel(label, fields.group), row, 0);
        layout->addWidget(edit, row, 1);
        ++row;
    }
    return fields;
}

QListWidgetItem* firstSelectedItem(const QListWidget& list)
{
    const QList<QListWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

} // namespace ui
