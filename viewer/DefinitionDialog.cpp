#include "viewer/DefinitionDialog.h"

#include "engine/Attribute.h"
#include "engine/AttributeDefinition.h"
#include "engine/Table.h"
#include "formula/Summary.h"
#include "platform/Resources.h"
#include "selection/DefinitionRequests.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>
#include <utility>
#include <vector>

namespace viewer
{

namespace
{

constexpr int kCaptions[5] = {4244, 4245, 4246, 4247, 4248}; // New expression… … New link…
constexpr int kName = 4251;
constexpr int kFormula = 4252;
constexpr int kFunction = 4253;
constexpr int kAttribute = 4254;
constexpr int kGrouping = 4255;
constexpr int kNoGrouping = 4256;
constexpr int kDown = 4257;
constexpr int kUnique = 4258;
constexpr int kBounds = 4259;
constexpr int kCases = 4260;
constexpr int kTarget = 4261;
constexpr int kOk = 4262;
constexpr int kCancel = 4237;
constexpr int kKindNames[5] = {4265, 4264, 4268, 4266, 4267}; // by AttributeType - ATTR_SUMMARY
constexpr int kToolTip = 4269;   // "%1: %2"
constexpr int kBadCase = 4270;   // a case line without "->"
constexpr int kNoName = 4271;    // an empty name
constexpr int kClassifyUsage = 9091; // no bound, as the classify verb says it
constexpr int kCaseUsage = 9096;     // no case, as the case verb says it
constexpr int kFunctionCount = formula::SUMMARY_FREQUENCY;

QString Resource(int id, std::initializer_list<KStringView> args = {})
{
    const KString text = args.size() == 0 ? LoadResourceString(id) : FormatResource(id, args);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QString ToQString(const KString& text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// The non-empty lines of text, trimmed.
std::vector<std::string> Lines(const QString& text)
{
    std::vector<std::string> lines;
    for (const QString& line : text.split(QLatin1Char('\n')))
    {
        if (!line.trimmed().isEmpty())
            lines.push_back(line.trimmed().toStdString());
    }
    return lines;
}

} // namespace

QString DefinitionCaption(EDefinitionKind kind)
{
    return Resource(kCaptions[static_cast<int>(kind)]);
}

QString DefinitionToolTip(const CAttribute& attribute)
{
    const CAttributeDefinition* definition = attribute.GetDefinition();
    if (!attribute.IsDerived() || !definition)
        return {};
    const int kind = static_cast<int>(definition->GetKind()) - ATTR_SUMMARY;
    if (kind < 0 || kind >= static_cast<int>(std::size(kKindNames)))
        return {};
    return Resource(kToolTip, {LoadResourceString(kKindNames[kind]), definition->GetDescription()});
}

CDefinitionDialog::CDefinitionDialog(CTable& table, EDefinitionKind kind, QWidget* parent)
    : QDialog(parent), m_table(table), m_eKind(kind)
{
    setWindowTitle(DefinitionCaption(kind).remove(QLatin1Char('&')).remove(QChar(0x2026)));
    auto* form = new QFormLayout;
    m_pName = new QLineEdit(this);
    form->addRow(Resource(kName), m_pName);
    // The attributes with values, in the table's order.
    QStringList names;
    for (long i = 0; i < table.GetAttributeCount(); ++i)
    {
        const CAttribute* attribute = table.FindAttributeFromIndex(i);
        if (attribute && !attribute->IsHeader())
            names << ToQString(attribute->GetName());
    }
    auto attributeBox = [this, &names]
    {
        auto* box = new QComboBox(this);
        box->addItems(names);
        return box;
    };
    switch (kind)
    {
    case EDefinitionKind::Expression:
        m_pFormula = new QLineEdit(this);
        m_pFormula->setMinimumWidth(320);
        form->addRow(Resource(kFormula), m_pFormula);
        break;
    case EDefinitionKind::Summary:
        m_pFunction = new QComboBox(this);
        for (int32_t function = 1; function <= kFunctionCount; ++function)
            m_pFunction->addItem(ToQString(formula::GetSummaryFunctionName(function)),
                                 QString::fromStdString(std::string(formula::GetSummaryFunctionVerb(function))));
        form->addRow(Resource(kFunction), m_pFunction);
        m_pAttribute = attributeBox();
        form->addRow(Resource(kAttribute), m_pAttribute);
        m_pGrouping = attributeBox();
        m_pGrouping->insertItem(0, Resource(kNoGrouping));
        m_pGrouping->setCurrentIndex(0);
        form->addRow(Resource(kGrouping), m_pGrouping);
        m_pDown = new QCheckBox(Resource(kDown), this);
        form->addRow(QString(), m_pDown);
        m_pUnique = new QCheckBox(Resource(kUnique), this);
        m_pUnique->setEnabled(false); // only with a grouping attribute
        form->addRow(QString(), m_pUnique);
        connect(m_pGrouping, &QComboBox::currentIndexChanged, this,
                [this](int index) { m_pUnique->setEnabled(index > 0); });
        break;
    case EDefinitionKind::Classification:
    case EDefinitionKind::Case:
        if (kind == EDefinitionKind::Classification)
        {
            m_pAttribute = attributeBox();
            form->addRow(Resource(kAttribute), m_pAttribute);
        }
        m_pLines = new QPlainTextEdit(this);
        m_pLines->setTabChangesFocus(true);
        form->addRow(new QLabel(Resource(kind == EDefinitionKind::Case ? kCases : kBounds), this));
        form->addRow(m_pLines);
        break;
    case EDefinitionKind::Link:
        m_pAttribute = attributeBox();
        form->addRow(Resource(kTarget), m_pAttribute);
        break;
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Resource(kOk));
    buttons->button(QDialogButtonBox::Cancel)->setText(Resource(kCancel));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void CDefinitionDialog::accept()
{
    if (Define())
        QDialog::accept();
}

bool CDefinitionDialog::Define()
{
    const QString name = m_pName->text().trimmed();
    if (name.isEmpty())
    {
        ShowRefusal(Resource(kNoName));
        return false;
    }
    const std::string nameText = name.toStdString();
    const std::string attribute = m_pAttribute ? m_pAttribute->currentText().toStdString() : std::string();
    KString error;
    std::unique_ptr<CAttributeDefinition> definition;
    switch (m_eKind)
    {
    case EDefinitionKind::Expression:
        definition = selection::RequestExpression(m_table, nameText, m_pFormula->text().toStdString(), error);
        break;
    case EDefinitionKind::Summary:
    {
        selection::SSummaryRequest request;
        request.strFunction = m_pFunction->currentData().toString().toStdString();
        request.strSummarised = attribute;
        if (m_pGrouping->currentIndex() > 0)
            request.strGrouping = m_pGrouping->currentText().toStdString();
        request.bDown = m_pDown->isChecked();
        request.bUniquePerGroup = m_pUnique->isEnabled() && m_pUnique->isChecked();
        definition = selection::RequestSummary(m_table, nameText, request, error);
        break;
    }
    case EDefinitionKind::Classification:
        if (Lines(m_pLines->toPlainText()).empty())
        {
            ShowRefusal(Resource(kClassifyUsage));
            return false;
        }
        definition = selection::RequestClassification(m_table, nameText, attribute, Lines(m_pLines->toPlainText()),
                                                      error);
        break;
    case EDefinitionKind::Case:
    {
        std::vector<std::pair<std::string, std::string>> cases;
        for (const std::string& line : Lines(m_pLines->toPlainText()))
        {
            // "CONDITION -> VALUE", split at the last arrow (a condition may compare with '-').
            const size_t arrow = line.rfind("->");
            if (arrow == std::string::npos)
            {
                ShowRefusal(Resource(kBadCase, {platform::FromUtf8(line)}));
                return false;
            }
            const QString condition = QString::fromStdString(line.substr(0, arrow)).trimmed();
            const QString value = QString::fromStdString(line.substr(arrow + 2)).trimmed();
            cases.emplace_back(condition.toStdString(), value.toStdString());
        }
        if (cases.empty())
        {
            ShowRefusal(Resource(kCaseUsage));
            return false;
        }
        definition = selection::RequestCaseDiscrimination(m_table, nameText, cases, error);
        break;
    }
    case EDefinitionKind::Link:
        definition = selection::RequestLink(m_table, nameText, attribute, error);
        break;
    }
    if (!definition || !selection::SubmitNewAttribute(m_table, platform::FromUtf8(nameText), std::move(definition),
                                                      error))
    {
        ShowRefusal(ToQString(error));
        return false;
    }
    return true;
}

void CDefinitionDialog::ShowRefusal(const QString& message)
{
    // Window-modal without waiting: the dialog stays open behind it to be mended.
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), message, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("definitionRefused"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace viewer
