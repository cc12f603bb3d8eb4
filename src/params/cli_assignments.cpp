#include "params/cli_assignments.hpp"

#include "params/parameter_fields.hpp"
#include "params/parameter_form.hpp"

namespace params {
namespace {

QString rangeText(const ParameterField& field) {
    return QStringLiteral("%1 to %2").arg(field.minimum).arg(field.maximum);
}

AssignmentCheck failure(const QString& message) {
    AssignmentCheck check;
    check.error = message;
    return check;
}

}  // namespace

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
