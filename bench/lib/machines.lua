-- wrk script: /api/values of the demo plant's machines in turn, one machine
-- per request, so that the requests in flight are not all the same.
local machines = {"P-101", "P-102", "P-103", "P-105", "V-201", "V-202", "V-203",
                  "K-301", "K-302", "K-303", "R-304"}
local next = 0

request = function()
  next = next % #machines + 1
  return wrk.format("GET", "/api/values?machine_id=" .. machines[next])
end
