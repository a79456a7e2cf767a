// The plant's metrics: the Tesmo server asked at each scrape through one
// request client, as a data resource asks it.
#pragma once

#include "text/Exposition.h"

// Writes tesmo_up, and when the server answered, the statuses of groups and
// machines and each variable's value and status. Every exchange is bounded
// by the configured time-out; a server that fails gives tesmo_up 0 only.
void WritePlantMetrics(strExposition* out);
