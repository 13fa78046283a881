// Calls to the host: the plugin's REST API, the simulated platform and the host's own paths.
// Every call resolves (never throws) to { ok, status, data, errorCode, message }, so that a
// refusal is shown like any other answer.

export const HOST = '/zun-clubs-host/v1';
export const CLUBS = '/zun-clubs/v1/clubs';

export async function call(method, path, body, contentType = 'application/json') {
  const init = { method, headers: {} };
  if (body !== undefined) {
    init.body = contentType === 'application/json' ? JSON.stringify(body) : body;
    init.headers['Content-Type'] = contentType;
  }
  let response;
  try {
    response = await fetch(path, init);
  } catch (error) {
    return { ok: false, status: 0, data: null, errorCode: 'NETWORK', message: String(error) };
  }
  const text = await response.text();
  let data = null;
  try {
    data = text ? JSON.parse(text) : null;
  } catch {
    data = text;
  }
  const refusal = !response.ok && data && typeof data === 'object' ? data : {};
  // The web service answers {"errorCode", "message"}; the plugin passes its code on as
  // {"error": "CODE"}; the host's own refusals are {"error": "a sentence"}.
  const code = refusal.errorCode ?? (/^[A-Z][A-Z0-9_]+$/.test(refusal.error ?? '') ? refusal.error : '');
  const message = refusal.message ?? (refusal.error !== code ? refusal.error : '');
  return {
    ok: response.ok,
    status: response.status,
    data,
    errorCode: code,
    message: message ?? (response.ok || typeof data === 'object' ? '' : text),
  };
}

// A request to the clubs web service as the player `accountId` (the host signs it with that
// player's token); the change reaches the plugin as the service's push message.
export function asPlayer(accountId, method, servicePath, body, contentType) {
  return call(method, `${HOST}/clubs-service/as/${accountId}${servicePath}`, body, contentType);
}

export const enc = encodeURIComponent;
