#include "shell/infodlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "session/info.h"
#include "shell/qttext.h"

namespace dov {

CInfoDlg::CInfoDlg(const QString& placeText, FieldFn field, PreviewFn preview, QWidget* parent)
    : QDialog(parent), m_field(std::move(field)), m_previewFn(std::move(preview)) {
    setWindowTitle(U8("情報を貼り付け"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(placeText, this));

    m_pTemplate = new QComboBox(this);
    m_pTemplate->setEditable(true);
    m_pTemplate->setInsertPolicy(QComboBox::NoInsert);
    m_pTemplate->setMinimumContentsLength(40);
    layout->addWidget(new QLabel(U8("テンプレート"), this));
    layout->addWidget(m_pTemplate);

    const auto& fields = InfoFieldList();
    m_pFields = new QTableWidget(static_cast<int>(fields.size()), 3, this);
    m_pFields->setHorizontalHeaderLabels({U8("項目"), U8("書き方"), U8("この行の値")});
    m_pFields->verticalHeader()->hide();
    m_pFields->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pFields->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int r = 0; r < static_cast<int>(fields.size()); ++r) {
        const QString name = QString::fromLatin1(fields[static_cast<std::size_t>(r)].name);
        const auto value = m_field ? m_field(name) : std::nullopt;
        m_pFields->setItem(r, 0,
                           new QTableWidgetItem(U8(fields[static_cast<std::size_t>(r)].label)));
        m_pFields->setItem(r, 1, new QTableWidgetItem("{" + name + "}"));
        m_pFields->setItem(r, 2, new QTableWidgetItem(value ? *value : U8("（なし）")));
    }
    m_pFields->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_pFields->horizontalHeader()->setStretchLastSection(true);
    connect(m_pFields, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { InsertField(row); });
    layout->addWidget(m_pFields);

    layout->addWidget(new QLabel(
        U8("書式: {mtime:%Y%m%d} 日時は strftime の書式、{tag.track:02} 数は桁数。\n"
           "{exif.date|mtime} ない項目は | の後の項目で補います（「情報なし」に数えます）。\n"
           "{{ は { そのものです。項目をダブルクリックすると挿入します。\n"
           "名前に使えない文字 \\ / : , ; * ? < > | は全角の ＼ ／ ： ， ； ＊ ？ ＜ ＞ ｜ に"
           "置き換えます。"),
        this));
    m_pPreview = new QLabel(this);
    m_pPreview->setTextFormat(Qt::PlainText);
    layout->addWidget(m_pPreview);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(U8("ｷｬﾝｾﾙ"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CInfoDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CInfoDlg::reject);
    layout->addWidget(buttons);

    connect(m_pTemplate, &QComboBox::editTextChanged, this, [this] { UpdatePreview(); });
    UpdatePreview();
}

void CInfoDlg::SetHistory(const QStringList& templates) {
    m_history = templates;
    m_pTemplate->clear();
    m_pTemplate->addItems(templates);
    if (!templates.isEmpty()) m_pTemplate->setCurrentIndex(0);
    UpdatePreview();
}

QString CInfoDlg::Template() const {
    return m_pTemplate->currentText();
}

void CInfoDlg::InsertField(int row) {
    QTableWidgetItem* item = m_pFields->item(row, 1);
    if (item) m_pTemplate->lineEdit()->insert(item->text());
    m_pTemplate->setFocus(Qt::OtherFocusReason);
}

void CInfoDlg::UpdatePreview() {
    const auto name = m_previewFn ? m_previewFn(Template()) : std::nullopt;
    m_pPreview->setText(U8("この行の新しい名前: ") +
                        (name ? *name : U8("（テンプレートが正しくありません）")));
}

void CInfoDlg::accept() {
    std::string error;
    const auto cp = FromQt(Template());
    if (!cp) {
        ShowDlgMessage(this, m_message, U8("テンプレートに使えない文字があります。"));
        return;
    }
    if (!InfoTemplate::Parse(*cp, &error)) {
        ShowDlgMessage(this, m_message, ToQt(error));
        return;
    }
    m_history.removeAll(Template());
    m_history.prepend(Template());
    while (m_history.size() > kMaxHistory) m_history.removeLast();
    QDialog::accept();
}

}  // namespace dov
