// The catalogue's checks run only at compile time, on a table that passes them:
// a check that lets everything through would go unseen. Each faulty table here
// must be refused, and for its own fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <ostream>
#include <span>

#include "runtime/error_table.h"

namespace {

using rt::Erro;
using rt::MathKind;
using rt::Recusa;
using rt::table::ErroRow;
using rt::table::Flaw;
using rt::table::MathRow;
using rt::table::RecusaRow;

// The first conditions, sound as they stand: each case below spoils one row.
constexpr ErroRow sound[] = {
    {Erro::int_overflow, 'F', 6100, "integer overflow"},
    {Erro::int_bad_digit, 'F', 6101, "invalid integer"},
    {Erro::real_overflow, 'F', 6102, "real overflow"},
    {Erro::real_bad_number, 'F', 6103, "invalid real"},
    {Erro::int_too_long, 'F', 6101, "too long", Erro::int_bad_digit},
};

struct ErroCase {
  const char* what;
  int row;
  ErroRow spoilt;
  Flaw expected;
};

void PrintTo(const ErroCase& c, std::ostream* os) { *os << c.what; }

class ErroTable : public testing::TestWithParam<ErroCase> {};

TEST_P(ErroTable, RefusesTheSpoiltRowForItsFault) {
  const ErroCase& c = GetParam();
  ErroRow rows[std::size(sound)];
  std::copy(std::begin(sound), std::end(sound), rows);
  rows[c.row] = c.spoilt;
  EXPECT_EQ(rt::table::check_erros(rows, std::size(rows)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ErroTable,
    testing::Values(
        ErroCase{"swapped", 2, {Erro::real_bad_number, 'F', 6102, "real overflow"}, Flaw::out_of_order},
        ErroCase{"lower-case letter", 0, {Erro::int_overflow, 'f', 6100, "integer overflow"}, Flaw::bad_letter},
        ErroCase{"five digits", 3, {Erro::real_bad_number, 'F', 16103, "invalid real"}, Flaw::bad_number},
        ErroCase{"three digits", 3, {Erro::real_bad_number, 'F', 610, "invalid real"}, Flaw::bad_number},
        ErroCase{"no message", 2, {Erro::real_overflow, 'F', 6102, ""}, Flaw::no_message},
        ErroCase{
            "number slipped onto another's", 2, {Erro::real_overflow, 'F', 6101, "real overflow"}, Flaw::shared_number},
        ErroCase{"shares with a later holder",
                 4,
                 {Erro::int_too_long, 'F', 6101, "too long", Erro::real_overflow},
                 Flaw::bad_share},
        ErroCase{"declares a share it does not have",
                 4,
                 {Erro::int_too_long, 'F', 6104, "too long", Erro::int_bad_digit},
                 Flaw::bad_share},
        ErroCase{"share says nothing new",
                 4,
                 {Erro::int_too_long, 'F', 6101, "invalid integer", Erro::int_bad_digit},
                 Flaw::same_message},
        ErroCase{"same number, other letter", 4, {Erro::int_too_long, 'M', 6101, "invalid integer"}, Flaw::none}));

TEST(ErroTable, CountsItsRowsAgainstTheConditions) {
  EXPECT_EQ(rt::table::check_erros(sound, std::size(sound)), Flaw::none);
  EXPECT_EQ(rt::table::check_erros(sound, std::size(sound) + 1), Flaw::wrong_size);
  EXPECT_EQ(rt::table::check_erros(std::span(sound).first(4), std::size(sound)), Flaw::wrong_size);
}

TEST(MathTable, RefusesKindsOutOfOrderOrOnAnErrorsNumber) {
  const ErroRow fp[] = {{Erro::int_overflow, 'M', 6101, "floating-point error: invalid"}};
  const ErroRow other_letter[] = {{Erro::int_overflow, 'F', 6201, "integer overflow"}};
  const MathRow in_order[] = {{MathKind::domain, 6201, "DOMAIN"}, {MathKind::sing, 6202, "SING"}};
  const MathRow swapped[] = {{MathKind::sing, 6202, "SING"}, {MathKind::domain, 6201, "DOMAIN"}};
  const MathRow on_fp[] = {{MathKind::domain, 6101, "DOMAIN"}, {MathKind::sing, 6202, "SING"}};
  const MathRow twice[] = {{MathKind::domain, 6201, "DOMAIN"}, {MathKind::sing, 6201, "SING"}};
  EXPECT_EQ(rt::table::check_math(in_order, 2, fp), Flaw::none);
  EXPECT_EQ(rt::table::check_math(swapped, 2, fp), Flaw::out_of_order);
  EXPECT_EQ(rt::table::check_math(on_fp, 2, fp), Flaw::shared_number);
  EXPECT_EQ(rt::table::check_math(on_fp, 2, other_letter), Flaw::none);
  EXPECT_EQ(rt::table::check_math(twice, 2, fp), Flaw::shared_number);
}

TEST(RecusaTable, RefusesTextsWhosePlaceholdersMissTheirValues) {
  struct {
    const char* text;
    int values;
    Flaw expected;
  } cases[] = {{"{} = {}, mas deve ser pelo menos 1", 2, Flaw::none},
               {"{} = {}, mas deve ser pelo menos 1", 1, Flaw::bad_values},
               {"{} = {, mas deve ser pelo menos 1", 1, Flaw::bad_values},
               {"out_name = '{}' }", 1, Flaw::bad_values},
               {"sem valores", 0, Flaw::none},
               {"", 0, Flaw::no_message}};
  for (const auto& c : cases) {
    const RecusaRow rows[] = {{Recusa::below_one, c.text, c.values}};
    EXPECT_EQ(rt::table::check_recusas(rows, 1), c.expected) << c.text;
  }
  const RecusaRow swapped[] = {{Recusa::too_many_nodes, "{}", 1}, {Recusa::below_one, "{}", 1}};
  EXPECT_EQ(rt::table::check_recusas(swapped, 2), Flaw::out_of_order);
}

}  // namespace
