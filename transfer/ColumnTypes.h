#pragma once

#include "ConnectionProfile.h"
#include "DataRecordset.h"
#include "SqlDialect.h"

#include <string>
#include <vector>

// The database a transfer writes to.
using TargetSide = DatabaseSide;

// The column type a new target table gets for one source column, e.g.
// "LONG VARCHAR" or "DECIMAL(30,10)". Chosen from the column's ADO type and,
// where a bare type word would refuse or lose values, its size, scale and sign.
std::string TargetColumnType(TargetSide side, const Field& column);

// CREATE TABLE for the target, one column per source column in source order:
//   DB2:   CREATE TABLE "orders"("id" LONG VARCHAR,"created" DATE)
//   MySQL: CREATE TABLE `orders`(`id` INT,`name` TEXT) CHARACTER SET utf8mb4;
std::string BuildCreateTableSql(TargetSide side, const std::string& table, const std::vector<Field>& columns);

// Quotes an identifier the way the side's SQL needs it.
std::string QuoteIdentifier(TargetSide side, const std::string& name);
