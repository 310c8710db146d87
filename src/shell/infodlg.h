// The dialog of 情報を貼り付け: a template for names taken from what the files hold, with the
// fields listed in Japanese beside their values for the current row, the current row's name
// as the template makes it, and the last templates used.
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>
#include <optional>

#include "shell/keyworddlg.h"

class QComboBox;
class QLabel;
class QTableWidget;

namespace dov {

class CInfoDlg : public QDialog {
    Q_OBJECT
  public:
    // A field's value for the current row (the field's name, e.g. "exif.date"); nullopt when
    // the row lacks it.
    using FieldFn = std::function<std::optional<QString>(const QString& field)>;
    // The current row's name with a template applied; nullopt when the template cannot be
    // used.
    using PreviewFn = std::function<std::optional<QString>(const QString& tmpl)>;

    CInfoDlg(const QString& placeText, FieldFn field, PreviewFn preview, QWidget* parent = nullptr);

    // The last templates, newest first; the first one is shown.
    void SetHistory(const QStringList& templates);
    // After an accepted dialog: the template, and the history with it at the top.
    QString Template() const;
    QStringList History() const { return m_history; }

    void SetMessageFunction(DlgMessageFn fn) { m_message = std::move(fn); }

    // The controls, for the tests.
    QComboBox* TemplateBox() const { return m_pTemplate; }
    QTableWidget* FieldTable() const { return m_pFields; }
    QLabel* PreviewLabel() const { return m_pPreview; }

    static constexpr int kMaxHistory = 8;

  public slots:
    // Refuses an unusable template with its explanation; the dialog stays open.
    void accept() override;

  private:
    void UpdatePreview();
    void InsertField(int row);

    FieldFn m_field;
    PreviewFn m_previewFn;
    QComboBox* m_pTemplate = nullptr;
    QTableWidget* m_pFields = nullptr;
    QLabel* m_pPreview = nullptr;
    QStringList m_history;
    DlgMessageFn m_message;
};

}  // namespace dov
