// The host's event stream, read with fetch so that every event name is seen (an EventSource
// hears only the names it subscribed to). Reconnects with the last id, so nothing kept by the
// host is missed; the ids tell the page when it missed events.

import { HOST } from './api.js';

// Calls `onEvent({ id, name, data })` for each event and `onState(text)` when the connection
// changes. Returns a function that stops reading.
export function followEvents(onEvent, onState) {
  let lastId = '';
  let stopped = false;
  let controller = null;

  async function readOnce() {
    controller = new AbortController();
    const headers = lastId ? { 'Last-Event-ID': lastId } : {};
    const response = await fetch(`${HOST}/events`, { headers, signal: controller.signal });
    if (!response.ok || !response.body) throw new Error(`status ${response.status}`);
    onState('connected');
    const reader = response.body.pipeThrough(new TextDecoderStream()).getReader();
    let buffer = '';
    for (;;) {
      const { value, done } = await reader.read();
      if (done) return;
      buffer += value.replace(/\r\n?/g, '\n');
      let end;
      while ((end = buffer.indexOf('\n\n')) >= 0) {
        const block = buffer.slice(0, end);
        buffer = buffer.slice(end + 2);
        const event = parseBlock(block);
        if (event) {
          if (event.id) lastId = event.id;
          onEvent(event);
        }
      }
    }
  }

  (async () => {
    let delay = 250;
    while (!stopped) {
      try {
        await readOnce();
        delay = 250;
      } catch (error) {
        if (stopped) return;
        onState(`disconnected (${error.message}), retrying`);
      }
      await new Promise((resolve) => setTimeout(resolve, delay));
      delay = Math.min(delay * 2, 5000);
    }
  })();
  return () => {
    stopped = true;
    controller?.abort();
  };
}

// One event of the text/event-stream format; comments (keep-alives) give nothing.
export function parseBlock(block) {
  const event = { id: '', name: 'message', data: '' };
  const data = [];
  for (const line of block.split('\n')) {
    if (!line || line.startsWith(':')) continue;
    const colon = line.indexOf(':');
    const field = colon < 0 ? line : line.slice(0, colon);
    const value = colon < 0 ? '' : line.slice(colon + 1).replace(/^ /, '');
    if (field === 'id') event.id = value;
    else if (field === 'event') event.name = value;
    else if (field === 'data') data.push(value);
  }
  if (data.length === 0) return null;
  event.data = data.join('\n');
  try {
    event.json = JSON.parse(event.data);
  } catch {
    event.json = null;
  }
  return event;
}
