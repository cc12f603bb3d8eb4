#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "device/reports.hpp"

namespace params {

// One NAME=VALUE of the command line: a field of ParameterFields (by index) or ignoreT.
struct Assignment {
    static constexpr int IgnoreT = -1;
    int field = IgnoreT;
    long double value = 0;  // the number for a field; 0 or 1 for ignoreT
};

struct AssignmentCheck {
    std::vector<Assignment> assignments;  // in the order given; empty on error
    QString error;                        // empty when every pair is acceptable
    bool ok() const { return error.isEmpty(); }
};

// Checks NAME=VALUE pairs against the field table, with '.' as the decimal separator.
// A value the form would correct is an error here, as is an unknown name or an ignoreT
// other than 0 or 1. The error names the field, the value and the accepted range.
AssignmentCheck checkAssignments(const QStringList& pairs);

// The block as NAME=VALUE lines in form order, ignoreT last, that checkAssignments() and
// applyAssignments() turn back into the same raw values: the form's texts, with as many
// more decimals as a value needs (the form shows T1 in whole degrees, about two raw steps).
QStringList blockAssignments(const device::RawParameterBlock& block);

// The fields of a block that the window would not write as they are (it would put their
// defaults back), each as "NAME=VALUE (range MIN to MAX)", in form order; ignoreT is any
// byte (non-zero ticks it).
QStringList outOfRange(const device::RawParameterBlock& block);

// Encodes checked assignments into a block; fields not named keep their raw values.
void applyAssignments(device::RawParameterBlock& block, const std::vector<Assignment>& assignments);

}  // namespace params
