#include "csd_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// One filled table per test, released afterwards.
class Table : public ::testing::Test
{
protected:
    void fill(int32_t type, float a, float b, int32_t n = 1024)
    {
        ASSERT_NE(table_init(&table, n), nullptr);
        table_fill(&table, type, a, b);
        filled = true;
    }
    void TearDown() override
    {
        if (filled)
            table_free(&table);
    }
    float last() const { return table.data[table.count - 1]; }

    table_struct table{};
    bool filled = false;
};

TEST_F(Table, ExponentialCurveAndItsInverse)
{
    fill(800, 400.0f, 14000.0f);
    EXPECT_EQ(table.data[0], 400.0f);
    EXPECT_FLOAT_EQ(last(), 14000.0f);
    EXPECT_EQ(table.data[1024], table.data[1023]);
    EXPECT_EQ(table.output, table.data[0]);
    const float middle = table_lookup(&table, 0.5f);
    EXPECT_NEAR(middle, std::sqrt(400.0 * 14000.0), 1.0);
    EXPECT_EQ(table.output, middle);
    EXPECT_NEAR(table_inverse_calculate(800, middle, 400.0f, 14000.0f), 0.5f, 1e-4f);
}

TEST_F(Table, DecibelFaderKeepsItsLowEndDip)
{
    fill(812, -40.0f, 3.0f);
    EXPECT_EQ(table.data[0], -40.0f);
    EXPECT_EQ(last(), 3.0f);
    EXPECT_NEAR(table.data[1], -78.7f, 0.05f);
    EXPECT_NEAR(table_inverse_calculate(812, -30.0f, -40.0f, 3.0f), 0.1671f, 1e-4f);
}

TEST_F(Table, LogTaperTreatsZeroRangeAsOne)
{
    fill(810, 0.0f, 0.0f);
    EXPECT_EQ(table.data[0], 0.0f);
    EXPECT_FLOAT_EQ(last(), 1.0f);
    // Its inverse: (10^(y/b) - 1) / 9.
    EXPECT_NEAR(table_inverse_calculate(810, 0.5f, 0.0f, 1.0f), (std::sqrt(10.0) - 1.0) / 9.0,
                1e-6);
}

TEST_F(Table, OtherCurveShapes)
{
    struct Case
    {
        int32_t type;
        float a, b;
        float first, middle, lastValue;
    };
    // Odd n so that position 0.5 falls exactly on an entry.
    const Case cases[] = {
        {830, 1.0f, 20.0f, 0.0f, static_cast<float>(std::log10(0.5) + 1.0), 1.0f},
        {840, 0.0f, 0.0f, -1.0f, 0.0f, 1.0f},
        {842, 0.0f, 0.0f, 0.0f, static_cast<float>(std::sqrt(0.5)), 1.0f},
        {843, 0.0f, 0.0f, 1.0f, static_cast<float>(std::sqrt(0.5)), 0.0f},
        {845, 0.0f, 0.0f, 0.0f, 0.5f, 1.0f},
    };
    for (const Case& c : cases)
    {
        table_struct t{};
        ASSERT_NE(table_init(&t, 1025), nullptr);
        table_fill(&t, c.type, c.a, c.b);
        EXPECT_NEAR(t.data[0], c.first, 1e-7f) << c.type;
        EXPECT_NEAR(t.data[512], c.middle, 1e-6f) << c.type;
        EXPECT_NEAR(t.data[1024], c.lastValue, 1e-7f) << c.type;
        EXPECT_NEAR(table_lookup_clip_bipolar(&t, 0.0f), c.middle, 1e-6f) << c.type;
        table_free(&t);
    }
}

TEST_F(Table, UnknownCurveLeavesEntriesAndInverseSaysSo)
{
    fill(999, 1.0f, 2.0f, 16);
    for (int i = 0; i <= 16; ++i)
        EXPECT_EQ(table.data[i], 0.0f) << i;
    EXPECT_EQ(table_inverse_calculate(999, 1.0f, 1.0f, 2.0f), -999.9f);
}

TEST_F(Table, EndsAndOutOfRangePositionsStayInsideTheEntries)
{
    fill(800, 20.0f, 20000.0f);
    const float first = table.data[0];
    struct Case
    {
        float x;
        float want;
    };
    const Case plain[] = {{1.0f, last()}, {0.0f, first},  {kNaN, first},  {-kInf, first},
                          {kInf, last()}, {-5.0f, first}, {1e30f, last()}};
    for (const Case& c : plain)
    {
        EXPECT_EQ(table_lookup(&table, c.x), c.want) << c.x;
        EXPECT_EQ(table_lookup_clip(&table, c.x), c.want) << c.x;
    }
    EXPECT_EQ(table_lookup_clip(&table, 1.5f), last());
    EXPECT_EQ(table_lookup_clip(&table, -0.2f), first);
    EXPECT_EQ(table_lookup_clip_bipolar(&table, 1.0f), last());
    EXPECT_EQ(table_lookup_clip_bipolar(&table, -1.0f), first);
    EXPECT_EQ(table_lookup_clip_bipolar(&table, kNaN), first);
}

// u = i / (n - 1) is formed in single precision, the curve in double; the
// lookup's first term is double, its second single.
TEST_F(Table, FillAndLookupKeepTheirMixedPrecision)
{
    fill(800, 20.0f, 20000.0f);
    int singleUDiffers = 0;
    for (int i = 0; i < 1024; ++i)
    {
        const float u = static_cast<float>(i) / 1023.0f;
        const double a = 20.0, b = 20000.0;
        const float want = static_cast<float>(
            a * std::pow(2.0, static_cast<double>(u) * std::log(b / a) / std::log(2.0)));
        ASSERT_EQ(table.data[i], want) << i;
        const double du = i / 1023.0;
        if (static_cast<float>(a * std::pow(2.0, du * std::log(b / a) / std::log(2.0))) != want)
            ++singleUDiffers;
    }
    EXPECT_GT(singleUDiffers, 0);

    int lookupDiffers = 0;
    for (int step = 0; step <= 1000; ++step)
    {
        const float x = static_cast<float>(step) * 0.000999f;
        const float p = 1023.0f * x;
        const int i = static_cast<int>(p);
        const float f = p - static_cast<float>(i);
        const float want = static_cast<float>(table.data[i] * (1.0 - f) +
                                              static_cast<double>(f * table.data[i + 1]));
        ASSERT_EQ(table_lookup(&table, x), want) << x;
        const double allDouble =
            table.data[i] * (1.0 - f) + static_cast<double>(f) * table.data[i + 1];
        if (static_cast<float>(allDouble) != want)
            ++lookupDiffers;
    }
    EXPECT_GT(lookupDiffers, 0);
}

TEST_F(Table, InverseLookupBisectsARisingTable)
{
    fill(842, 0.0f, 0.0f, 1024);
    for (const float u : {0.1f, 0.25f, 0.5f, 0.9f})
    {
        const float y = table_lookup(&table, u);
        EXPECT_NEAR(table_inverse_lookup(&table, y), u, 2.0f / 1024.0f) << u;
    }
    EXPECT_EQ(table_inverse_lookup(&table, -1.0f), 1.0f / 1024.0f);
    EXPECT_EQ(table_inverse_lookup(&table, 2.0f), 1023.0f / 1024.0f);
    const float nan = table_inverse_lookup(&table, kNaN);
    EXPECT_TRUE(nan >= 0.0f && nan < 1.0f);
}

TEST_F(Table, DegenerateSizes)
{
    table_struct none{};
    EXPECT_EQ(table_init(&none, 0), nullptr);
    table_fill(&none, 800, 1.0f, 2.0f); // nothing to fill
    EXPECT_EQ(table_lookup(&none, 0.5f), 0.0f);
    EXPECT_EQ(table_inverse_lookup(&none, 0.5f), 0.0f);

    fill(800, 5.0f, 50.0f, 1);
    EXPECT_EQ(table.data[0], 5.0f);
    EXPECT_EQ(table.data[1], 5.0f);
    EXPECT_EQ(table_lookup(&table, 0.7f), 5.0f);
    EXPECT_EQ(table_inverse_lookup(&table, 7.0f), 0.0f);
}
} // namespace
