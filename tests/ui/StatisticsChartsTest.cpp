// The run chart of more values than a plot has pixels: each stretch of units keeps its smallest
// and largest value at their units, so no outlier disappears from the picture.
#include "charts/StatisticsCharts.h"

#include <QChart>
#include <QLineSeries>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vmx;

TEST(StatisticsCharts, ARunChartOfManyValuesKeepsEveryStretchsExtremes)
{
    for (const size_t n : {size_t(3), size_t(4000), size_t(4001), size_t(100003)}) {
        SCOPED_TRACE(n);
        history::ItemStats s;
        s.item = QStringLiteral("Ampl 1");
        unsigned seed = 7;
        for (size_t i = 0; i < n; ++i)
            s.values.push_back(double((seed = seed * 1103515245u + 12345u) >> 20));
        s.values[n / 2] = 5000.0; // one outlier
        s.min = *std::min_element(s.values.begin(), s.values.end());
        s.max = *std::max_element(s.values.begin(), s.values.end());
        std::unique_ptr<QChart> chart(charts::RunChart(s, charts::ChartTexts::For(true)));
        const auto* line = qobject_cast<QLineSeries*>(chart->series().front());
        ASSERT_TRUE(line);
        const QList<QPointF> p = line->points();
        ASSERT_LE(p.size(), 4000);
        if (n <= 4000) {
            ASSERT_EQ(size_t(p.size()), n);
        }
        // Every point is a value at its own unit, in unit order; the outlier and both ends of
        // the range are among them.
        for (qsizetype i = 0; i < p.size(); ++i) {
            const size_t unit = size_t(p[i].x());
            ASSERT_TRUE(unit >= 1 && unit <= n);
            EXPECT_EQ(p[i].y(), s.values[unit - 1]);
            if (i) {
                EXPECT_LT(p[i - 1].x(), p[i].x());
            }
        }
        for (double want : {*s.min, *s.max, 5000.0})
            EXPECT_TRUE(std::any_of(p.begin(), p.end(), [&](const QPointF& q) { return q.y() == want; }))
                << want;
    }
}
