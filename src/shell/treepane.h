// The folder tree pane: one node per folder item of the edit tree, kept in step with the
// host's tree notifications, with the labels (new names) the user may edit.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class CMyItem;
class QTreeWidget;
class QTreeWidgetItem;

namespace dov {

class QtHost;

class CTreePane : public QObject {
    Q_OBJECT
  public:
    CTreePane(QTreeWidget* tree, QtHost* host, QObject* parent = nullptr);

    static CMyItem* ItemOf(const QTreeWidgetItem* node);
    QTreeWidgetItem* NodeOf(CMyItem* folder) const { return nodes_.value(folder, nullptr); }
    // The folder of the current node (null: none).
    CMyItem* CurrentFolder() const;
    // Makes a node current without the tree's signals.
    void SelectQuietly(QTreeWidgetItem* node);
    // Sets a node's label without it counting as the user's edit.
    void SetLabel(CMyItem* folder, const QString& label);
    // A folder's path in the tree as the labels show it ("Root/a/b"; empty: no node).
    QString PathText(CMyItem* folder) const;

  signals:
    // The user finished editing a node's label.
    void labelEdited(QTreeWidgetItem* node);

  private:
    QTreeWidgetItem* AddNode(CMyItem* folder, QTreeWidgetItem* parentNode, const QString& label);
    void RemoveNode(CMyItem* folder);

    QTreeWidget* tree_;
    QHash<CMyItem*, QTreeWidgetItem*> nodes_;
    bool settingLabel_ = false;
};

}  // namespace dov
