// The scenarios panel: the latest scenarios with each step's state, a stop button for those that
// run, and a document box to start one. Kept current by the scenario events of the stream.

import { call, HOST } from './api.js';
import { $, h, showResult } from './dom.js';

const SHOWN = 10;

export function createScenarios() {
  const list = $('#scenario-list');
  const output = $('#scenario-result');
  let reading = null;
  let again = false;

  function stepItem(step) {
    const answer = step.status !== undefined ? ` → ${step.status || step.error || ''}` : '';
    const timing = step.startMs !== undefined ? ` at ${step.startMs} ms` : '';
    return h('li', { class: `step ${step.state}`, 'data-state': step.state },
      h('strong', {}, step.state), ` #${step.index} ${step.action}: ${step.request}${timing}${answer}`);
  }

  function scenarioItem(run) {
    const result = h('output', { class: 'result' });
    const stop = run.state === 'running' && h('button', {
      type: 'button', 'aria-label': `Stop scenario ${run.id}`,
      onclick: async () => {
        showResult(result, await call('DELETE', `${HOST}/scenarios/${encodeURIComponent(run.id)}`), 'stopping');
        refresh();
      },
    }, 'Stop');
    return h('li', { 'data-id': run.id, 'data-state': run.state },
      h('strong', {}, `#${run.id} ${run.name || '(no name)'}`), ` ${run.state} `, stop, ' ', result,
      h('ol', { class: 'steps', start: '0' }, (run.steps ?? []).map(stepItem)));
  }

  async function read() {
    const answer = await call('GET', `${HOST}/scenarios`);
    const runs = answer.ok && Array.isArray(answer.data) ? answer.data.slice(-SHOWN).reverse() : [];
    const full = await Promise.all(runs.map(async (run) => {
      const one = await call('GET', `${HOST}/scenarios/${encodeURIComponent(run.id)}`);
      return one.ok ? one.data : run;
    }));
    list.replaceChildren(...(full.length ? full.map(scenarioItem)
      : [h('li', { class: 'muted' }, answer.ok ? 'No scenarios.' : `Scenarios not readable (${answer.status}).`)]));
  }

  // Reads coalesce: an event during a read makes one more read afterwards.
  async function refresh() {
    if (reading) {
      again = true;
      return reading;
    }
    reading = (async () => {
      do {
        again = false;
        await read();
      } while (again);
    })();
    try {
      await reading;
    } finally {
      reading = null;
    }
  }

  async function start() {
    const text = $('#scenario-text').value;
    // JSON is sent as the object it reads as; anything else goes to the host's YAML reader.
    let document = null;
    try {
      document = JSON.parse(text);
    } catch {
      document = null;
    }
    const answer = document !== null
      ? await call('POST', `${HOST}/scenarios`, document)
      : await call('POST', `${HOST}/scenarios`, text, 'application/x-yaml');
    showResult(output, answer, 'started');
    refresh();
  }

  function init() {
    $('#scenario-start').addEventListener('click', start);
  }
  return { init, refresh };
}
