// The host-side panels: toasts, the event log, the emulator's fault rules and its world. The
// fault and world endpoints belong to the emulator and may be missing from a host; their panels
// then say so instead of failing.

import { call, HOST } from './api.js';
import { $, h, showResult } from './dom.js';

const MAX_EVENTS = 500;

export function createToasts(list) {
  function render(answer) {
    const toasts = Array.isArray(answer.data) ? [...answer.data] : [];
    // Newest first: the list is in order of arrival, and ids (when they differ) break no tie.
    toasts.reverse();
    toasts.sort((a, b) => (Number(b?.id) || 0) - (Number(a?.id) || 0));
    list.replaceChildren(...(toasts.length
      ? toasts.map((t) => h('li', { class: 'toast', 'data-type': t.type ?? '' },
        h('strong', {}, t.type ?? 'toast'), ' ', h('span', { class: 'muted' }, t.detailKey ?? ''), ' ',
        h('span', {}, [t.data?.clubName, t.data?.summonerName, t.data?.roleName].filter(Boolean).join(' · ')),
        h('details', {}, h('summary', {}, 'data'), h('pre', {}, JSON.stringify(t, null, 2)))))
      : [h('li', { class: 'muted' }, answer.ok ? 'No toasts.' : `Toasts not readable (${answer.status}).`)]));
  }
  return { render };
}

export function createEventLog(list, filter) {
  const matches = (item) => !filter.value || item.dataset.uri.includes(filter.value)
    || item.dataset.name.includes(filter.value);
  function add(event) {
    const uri = event.json?.uri ?? '';
    const kind = event.json?.eventType ?? '';
    const item = h('li', { 'data-uri': uri, 'data-name': event.name },
      h('details', {},
        h('summary', {}, `#${event.id} ${kind} ${uri || event.name}`),
        h('pre', {}, event.json ? JSON.stringify(event.json, null, 2) : event.data)));
    item.hidden = !matches(item);
    list.prepend(item);
    while (list.children.length > MAX_EVENTS) list.lastElementChild.remove();
  }
  filter.addEventListener('input', () => {
    for (const item of list.children) item.hidden = !matches(item);
  });
  return { add, clear: () => list.replaceChildren() };
}

export function createFaults() {
  const form = $('#fault-form');
  const output = form.querySelector('output');

  function missing(answer) {
    const absent = answer.status === 404;
    $('#faults-missing').hidden = !absent;
    form.querySelector('fieldset').disabled = absent;
    return absent;
  }

  // The services a rule may name, as the host's API document lists them, so that the page
  // offers exactly what the host reads.
  async function loadServices() {
    const answer = await call('GET', `${HOST}/openapi.json`);
    const names = answer.data?.components?.schemas?.FaultRule?.properties?.service?.enum;
    if (!Array.isArray(names)) return;
    const select = $('#fault-service');
    select.replaceChildren(...names.map((name) => h('option', {}, name)));
  }

  async function refresh() {
    const answer = await call('GET', `${HOST}/faults`);
    if (missing(answer)) {
      $('#fault-list').replaceChildren();
      return;
    }
    const rules = Array.isArray(answer.data) ? answer.data : [];
    $('#fault-list').replaceChildren(...(rules.length ? rules.map(ruleItem)
      : [h('li', { class: 'muted' }, answer.ok ? 'No rules.' : `Rules not readable (${answer.status}).`)]));
  }

  function describe(rule) {
    const effect = rule.transportFailure ? 'no answer' : `${rule.status} ${rule.body?.errorCode ?? ''}`;
    const extras = [
      rule.latencyMs ? `+${rule.latencyMs} ms` : '',
      rule.probability !== undefined && rule.probability !== 1 ? `p=${rule.probability}` : '',
      rule.times ? `${rule.times}×` : '',
    ].filter(Boolean).join(' ');
    return `${rule.service} ${rule.method} ${rule.path} → ${effect} ${extras}`;
  }

  function ruleItem(rule) {
    const result = h('output', { class: 'result' });
    return h('li', { 'data-id': rule.id }, describe(rule), ' ',
      h('button', {
        type: 'button', 'aria-label': `Remove rule ${rule.id}`,
        onclick: async () => {
          const answer = await call('DELETE', `${HOST}/faults/${encodeURIComponent(rule.id)}`);
          showResult(result, answer, 'removed');
          refresh();
        },
      }, 'Remove'), ' ', result);
  }

  function ruleFromForm() {
    const f = form.elements;
    const rule = {
      service: f.service.value, method: f.method.value, path: f.path.value,
      latencyMs: Number(f.latencyMs.value || 0), probability: Number(f.probability.value || 1),
    };
    if (Number(f.times.value) > 0) rule.times = Number(f.times.value);
    if (f.transportFailure.checked) {
      rule.transportFailure = true;
    } else {
      rule.status = Number(f.status.value);
      if (f.errorCode.value) rule.body = { errorCode: f.errorCode.value };
    }
    return rule;
  }

  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    const answer = await call('POST', `${HOST}/faults`, ruleFromForm());
    showResult(output, answer, 'rule added');
    refresh();
  });
  $('#clear-faults').addEventListener('click', async () => {
    const answer = await call('DELETE', `${HOST}/faults`);
    showResult(output, answer, 'all rules removed');
    refresh();
  });
  loadServices();
  return { refresh };
}

export function createWorld(afterImport) {
  const text = $('#world-text');
  const output = $('#world-result');
  const download = $('#world-download');

  function missing(answer) {
    const absent = answer.status === 404;
    $('#world-missing').hidden = !absent;
    return absent;
  }

  async function exportWorld() {
    const answer = await call('GET', `${HOST}/world`);
    showResult(output, answer, 'exported');
    if (missing(answer) || !answer.ok) return;
    text.value = JSON.stringify(answer.data, null, 2);
    if (download.href) URL.revokeObjectURL(download.href);
    download.href = URL.createObjectURL(new Blob([text.value], { type: 'application/json' }));
    download.hidden = false;
  }

  async function importWorld() {
    let document;
    try {
      document = JSON.parse(text.value);
    } catch (error) {
      showResult(output, { ok: false, status: 0, errorCode: 'INVALID_JSON', message: error.message });
      return;
    }
    const answer = await call('PUT', `${HOST}/world`, document);
    showResult(output, answer, 'imported');
    if (!missing(answer) && answer.ok) afterImport();
  }

  function init() {
    $('#world-export').addEventListener('click', exportWorld);
    $('#world-import').addEventListener('click', importWorld);
    $('#world-file').addEventListener('change', async (event) => {
      const file = event.target.files?.[0];
      if (file) text.value = await file.text();
    });
  }
  return { init };
}
