#include "TabletMetrics.h"

namespace {
TabletMetricsQuery g_query = GetSystemMetrics;
}

int TabletMetric(int index)
{
    return g_query(index);
}

TabletMetricsQuery SetTabletMetricsQuery(TabletMetricsQuery query)
{
    TabletMetricsQuery previous = g_query;
    g_query = query ? query : GetSystemMetrics;
    return previous;
}
