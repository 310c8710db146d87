// Qt's own file and folder choosers as a Japanese user reads them: Qt's Japanese catalogue
// leaves the file type of a folder ("Folder") untranslated, and the dates follow the system
// locale; a proxy over the dialog's list shows both in Japanese.
#pragma once

#include <QSortFilterProxyModel>
#include <QString>

class QFileDialog;
class QWidget;

namespace dov {

class CJapaneseFileProxy : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    QVariant data(const QModelIndex& index, int role) const override;
};

// Sets the dialog up with Qt's own widgets and the proxy.
void MakeJapanese(QFileDialog& dlg);

// The folder chooser ("フォルダの選択"): an empty result is a cancel.
QString ChooseFolder(QWidget* parent, const QString& title, const QString& start);

}  // namespace dov
