#pragma once

#include "Transfer.h"

// The line an error report of the send buttons names for each step of a
// transfer. Users quote these numbers to support with the report's location,
// so they stay those of the original handlers, which numbered the two
// directions differently.
struct SendReportLine {
    TransferStep step;
    int toDB2, toMySQL;
};

inline constexpr SendReportLine kSendReportLines[] = {
    {TransferStep::ConnectTarget, 116, 126}, {TransferStep::ConnectSource, 124, 118},
    {TransferStep::ReplaceTable, 144, 144},  {TransferStep::OpenSource, 148, 148},
    {TransferStep::CreateTable, 210, 218},   {TransferStep::CountRows, 218, 226},
    {TransferStep::Insert, 252, 264},        {TransferStep::ReadRows, 254, 266},
};

constexpr int SendReportLineOf(TransferDirection direction, TransferStep step)
{
    for (const SendReportLine& line : kSendReportLines)
        if (line.step == step)
            return direction == TransferDirection::MySQLToDB2 ? line.toDB2 : line.toMySQL;
    return 0;
}
