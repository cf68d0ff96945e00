-- wrk script: POST a valid data set request. The body (with its token) comes from the
-- environment, since the token depends on the time and wrk's Lua has no MD5.
wrk.method = "POST"
wrk.body = os.getenv("QUARRIN_REQUEST_BODY") or ""
wrk.headers["Content-Type"] = "application/x-www-form-urlencoded"

function done(summary, latency, requests)
    io.write(string.format("latency p50 %.2f ms, p90 %.2f ms, p99 %.2f ms, max %.2f ms\n",
        latency:percentile(50) / 1000, latency:percentile(90) / 1000, latency:percentile(99) / 1000,
        latency.max / 1000))
    io.write(string.format("errors: connect %d, read %d, write %d, timeout %d, status %d\n",
        summary.errors.connect, summary.errors.read, summary.errors.write, summary.errors.timeout,
        summary.errors.status))
end
