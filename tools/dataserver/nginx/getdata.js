// SPDX-License-Identifier: MIT
// The data server's request check for nginx (njs): answers POST /getdata.pl as quarrin-dataserver
// does. A well-formed request with a fresh token is handed to the internal location that serves
// the file; everything else gets 400 or 401 here.
//
// The token is the MD5 of the bundle identifier and the client's clock, both of which anyone can
// read, so it is no secret: it keeps stray requests and replays of old ones away, nothing more.

const crypto = require('crypto');

const kClockWindowSeconds = 24 * 60 * 60;
// Seconds between the Unix epoch and 1 January 2001, the clients' reference date.
const kUnixToReference = 978307200;
const kServedFileName = 'specs.plist';

// "a=b&c=d" into its fields; null for a field without "=", an empty name or a name given twice.
// Values are taken as sent: clients send nothing that needs percent-encoding.
function parseForm(body) {
    const fields = {};
    if (body.length === 0)
        return fields;
    const pairs = body.split('&');
    for (let i = 0; i < pairs.length; i++) {
        const pair = pairs[i];
        const eq = pair.indexOf('=');
        if (eq <= 0)
            return null;
        const name = pair.substring(0, eq);
        if (Object.prototype.hasOwnProperty.call(fields, name))
            return null;
        fields[name] = pair.substring(eq + 1);
    }
    return fields;
}

// Digits with an optional sign and fraction: no exponent, hexadecimal, infinity or NaN spellings.
function parseDecimal(text) {
    if (text.length > 64 || !/^[+-]?[0-9]+(\.[0-9]+)?$/.test(text))
        return null;
    const value = Number(text);
    return Number.isFinite(value) ? value : null;
}

// The number as printf's "%lf" prints it: six decimals.
function formatNumber(value) {
    return value.toFixed(6);
}

function requestToken(bundleIdentifier, mn) {
    return crypto.createHash('md5').update(bundleIdentifier + formatNumber(mn)).digest('hex').toUpperCase();
}

function equalInConstantTime(a, b) {
    if (a.length !== b.length)
        return false;
    let difference = 0;
    for (let i = 0; i < a.length; i++)
        difference |= a.charCodeAt(i) ^ b.charCodeAt(i);
    return difference === 0;
}

// 200 (serve), 400 or 401 for a request body at a time (seconds since the reference date).
function verdict(body, bundleIdentifier, now) {
    const fields = parseForm(body);
    if (!fields || !('pass' in fields) || !('name' in fields) || !('mn' in fields))
        return 400;
    if (fields.name !== kServedFileName)
        return 400;
    const mn = parseDecimal(fields.mn);
    if (mn === null)
        return 400;
    if (Math.abs(mn - now) > kClockWindowSeconds)
        return 401;
    if (!equalInConstantTime(fields.pass, requestToken(bundleIdentifier, mn)))
        return 401;
    return 200;
}

function getdata(r) {
    if (r.method !== 'POST') {
        r.return(404, 'not found\n');
        return;
    }
    const now = Date.now() / 1000 - kUnixToReference;
    const answer = verdict(r.requestText || '', r.variables.quarrin_bundle_id, now);
    if (answer === 400) {
        r.return(400, 'bad request\n');
    } else if (answer === 401) {
        r.return(401, 'unauthorized\n');
    } else {
        r.internalRedirect('/quarrin-internal/serve');
    }
}

export default { getdata };
