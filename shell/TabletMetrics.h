// The system metrics that pen input reads (Tablet PC, screen and virtual-screen sizes), through
// one replaceable query: tests describe a Tablet PC or a screen of their own.
#pragma once
#include <windows.h>

typedef int(WINAPI* TabletMetricsQuery)(int index);

int TabletMetric(int index);
// Null restores GetSystemMetrics; returns the previous query.
TabletMetricsQuery SetTabletMetricsQuery(TabletMetricsQuery query);
