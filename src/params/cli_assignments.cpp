#include "params/cli_assignments.hpp"

#include <array>

#include "common/number_format.hpp"
#include "params/number_syntax.hpp"
#include "params/parameter_fields.hpp"
#include "params/parameter_form.hpp"

namespace params {
namespace {

const QChar kSeparator = QLatin1Char('.');

QString rangeText(const ParameterField& field) {
    return QStringLiteral("%1 to %2").arg(field.minimum).arg(field.maximum);
}

AssignmentCheck failure(const QString& message) {
    AssignmentCheck check;
    check.error = message;
    return check;
}

// The shortest text with at least `decimals` decimals that encodes to `raw` again.
QString exactText(const ParameterField& field, long double value, int decimals, unsigned raw) {
    constexpr int MaxDecimals = 6;
    QString text;
    for (; decimals <= MaxDecimals; ++decimals) {
        text = common::formatFixed(value, decimals, kSeparator);
        const auto back = parseNumber(text, kSeparator);
        if (back && encodeRaw(field, *back) == raw) break;
    }
    return text;
}

// Each field's text as read prints it: the form's text, with more decimals where the
// form's would encode to another raw value.
std::array<QString, ParameterFieldCount> exactTexts(const device::RawParameterBlock& block,
                                                    const device::ParameterValues& values) {
    const ParameterTexts shown = displayTexts(values, kSeparator);
    std::array<QString, ParameterFieldCount> texts = shown.texts;
    for (std::size_t i = 0; i < ParameterFields.size(); ++i) {
        const ParameterField& field = ParameterFields[i];
        if (field.encoding != Encoding::ConversionA && field.encoding != Encoding::ConversionT)
            continue;
        const long double value =
            field.encoding == Encoding::ConversionA ? values.u1Volts : values.t1Celsius;
        const qsizetype point = texts[i].indexOf(kSeparator);
        const int decimals = point < 0 ? 0 : static_cast<int>(texts[i].size() - point - 1);
        texts[i] = exactText(field, value, decimals, rawValue(block, field));
    }
    return texts;
}

}  // namespace

QStringList blockAssignments(const device::RawParameterBlock& block) {
    const device::ParameterValues values = device::decodeParameterValues(block);
    const auto texts = exactTexts(block, values);
    QStringList lines;
    for (std::size_t i = 0; i < ParameterFields.size(); ++i)
        lines.append(ParameterFields[i].name + QLatin1Char('=') + texts[i]);
    lines.append(QString(IgnoreTName) +
                 (values.ignoreT ? QLatin1String("=1") : QLatin1String("=0")));
    return lines;
}

QStringList outOfRange(const device::RawParameterBlock& block) {
    const auto texts = exactTexts(block, device::decodeParameterValues(block));
    QStringList found;
    for (std::size_t i = 0; i < ParameterFields.size(); ++i) {
        const ParameterField& field = ParameterFields[i];
        if (!acceptedValue(field, texts[i], kSeparator))
            found.append(
                QStringLiteral("%1=%2 (range %3)").arg(field.name, texts[i], rangeText(field)));
    }
    return found;
}

AssignmentCheck checkAssignments(const QStringList& pairs) {
    AssignmentCheck check;
    for (const QString& pair : pairs) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        if (eq < 0) return failure(QStringLiteral("\"%1\": expected NAME=VALUE").arg(pair));
        const QString name = pair.left(eq);
        const QString value = pair.mid(eq + 1);

        if (name == IgnoreTName) {
            if (value != QLatin1String("0") && value != QLatin1String("1"))
                return failure(
                    QStringLiteral("ignoreT: value \"%1\" is not accepted (0 or 1)").arg(value));
            check.assignments.push_back(
                {Assignment::IgnoreT, value == QLatin1String("1") ? 1.0L : 0.0L});
            continue;
        }

        const int index = fieldIndex(name);
        if (index < 0) return failure(QStringLiteral("unknown parameter \"%1\"").arg(name));
        const ParameterField& field = ParameterFields[static_cast<std::size_t>(index)];
        const auto number = acceptedValue(field, value, QLatin1Char('.'));
        if (!number)
            return failure(QStringLiteral("%1: value \"%2\" is not accepted (range %3)")
                               .arg(name, value, rangeText(field)));
        check.assignments.push_back({index, *number});
    }
    return check;
}

void applyAssignments(device::RawParameterBlock& block,
                      const std::vector<Assignment>& assignments) {
    for (const Assignment& a : assignments) {
        if (a.field == Assignment::IgnoreT) {
            block.ignoreT = a.value != 0 ? 1 : 0;
            continue;
        }
        const ParameterField& field = ParameterFields.at(static_cast<std::size_t>(a.field));
        setRawValue(block, field, encodeRaw(field, a.value));
    }
}

}  // namespace params
