// The Requests panel: the host's journal of the calls the plugin makes, newest first, followed
// live through the event stream. The events carry no bodies, so a call's bodies are read from
// the host when its entry is opened. A host without a journal makes the panel say so.

import { call, HOST } from './api.js';
import { $, h, showResult } from './dom.js';

const REQUESTS = `${HOST}/requests`;
const MAX_SHOWN = 500;

// One line per call: "#12 clubs PUT /v1/clubs/club-1/motd → 200 · 1.2 ms · rule 3 · PATCH ...".
export function describeCall(entry) {
  const query = entry.query ? `?${entry.query}` : '';
  const answer = entry.status ? String(entry.status) : 'no answer';
  const parts = [
    `#${entry.id} ${entry.service} ${entry.method} ${entry.path}${query} → ${answer}`,
    `${Number(entry.durationMs ?? 0).toFixed(1)} ms`,
    entry.faultRule ? `rule ${entry.faultRule}` : '',
    entry.cause?.label ? `by ${entry.cause.kind} ${entry.cause.label}` : '',
  ];
  return parts.filter(Boolean).join(' · ');
}

// A body as it is easiest to read: indented when it is JSON, as sent otherwise.
export function showBody(text) {
  if (!text) return '(empty)';
  try {
    return JSON.stringify(JSON.parse(text), null, 2);
  } catch {
    return text;
  }
}

export function createRequests() {
  const list = $('#request-list');
  const filter = $('#request-filter');
  const output = $('#requests-result');
  let lastId = 0;

  const matches = (item) => !filter.value || item.dataset.line.includes(filter.value);

  async function openBodies(item, id) {
    const bodies = item.querySelector('.bodies');
    if (bodies.dataset.read) return;
    bodies.dataset.read = 'yes';
    const answer = await call('GET', `${REQUESTS}/${id}`);
    if (!answer.ok) {
      bodies.replaceChildren(h('p', { class: 'muted' }, `Bodies not readable (${answer.status}): ${answer.message}`));
      return;
    }
    const entry = answer.data;
    bodies.replaceChildren(
      h('h4', {}, `Request body (${entry.requestBodyBytes} bytes)`),
      h('pre', { class: 'request-body' }, showBody(entry.requestBody)),
      h('h4', {}, `Answer body (${entry.answerBodyBytes} bytes)`),
      h('pre', { class: 'answer-body' }, showBody(entry.answerBody)),
      entry.error ? h('p', { class: 'refused' }, entry.error) : null,
      entry.bodiesCut ? h('p', { class: 'muted' }, 'Bodies cut short: the journal keeps the start of long ones.') : null);
  }

  function add(entry) {
    if (!entry || entry.id <= lastId) return;
    lastId = entry.id;
    list.querySelector('.empty')?.remove();
    const line = describeCall(entry);
    const details = h('details', {}, h('summary', {}, line), h('div', { class: 'bodies' }, 'Reading…'));
    const item = h('li', { 'data-id': entry.id, 'data-line': line }, details);
    details.addEventListener('toggle', () => { if (details.open) openBodies(item, entry.id); });
    item.hidden = !matches(item);
    list.prepend(item);
    while (list.children.length > MAX_SHOWN) list.lastElementChild.remove();
  }

  function showEmpty(text) {
    list.replaceChildren(h('li', { class: 'muted empty' }, text));
  }

  async function refresh() {
    const answer = await call('GET', `${REQUESTS}?since=${lastId}`);
    if (answer.status === 404) {
      $('#requests-missing').hidden = false;
      return;
    }
    const entries = Array.isArray(answer.data?.entries) ? answer.data.entries : [];
    if (lastId === 0 && entries.length === 0) showEmpty('No calls yet.');
    entries.forEach(add);
    $('#requests-dropped').textContent = answer.data?.dropped
      ? `${answer.data.dropped} older calls were dropped for room.` : '';
  }

  // An event of the journal: a new entry, or the journal emptied.
  function onEvent(json) {
    if (json?.eventType === 'Delete') {
      showEmpty('No calls yet.');
      $('#requests-dropped').textContent = '';
    } else {
      add(json?.data);
    }
  }

  filter.addEventListener('input', () => {
    for (const item of list.children) if (item.dataset.line) item.hidden = !matches(item);
  });
  $('#clear-requests').addEventListener('click', async () => {
    const answer = await call('DELETE', REQUESTS);
    showResult(output, answer, 'journal cleared');
    if (answer.ok) onEvent({ eventType: 'Delete' });
  });
  return { refresh, onEvent };
}
