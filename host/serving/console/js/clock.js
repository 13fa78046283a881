// The clubs web service's clock: its reading (which stamps invitations, memberships and club
// changes) and the controls to freeze it, set it and move it ahead. The clock belongs to the
// embedded service; a host without one answers 404 and the panel says so.

import { call, HOST } from './api.js';
import { $, showResult } from './dom.js';

const CLOCK = `${HOST}/clock`;

// Milliseconds as the page shows them: the UTC instant and the number itself.
export function describeClock(clock) {
  const instant = new Date(clock.now);
  const when = Number.isNaN(instant.getTime()) ? '' : `${instant.toISOString()} · `;
  return `${when}${clock.now} ms · ${clock.frozen ? 'frozen' : 'running'}`;
}

// A reading typed by a person: a whole number of milliseconds, or a date the browser can read
// ("2024-05-01T12:00:00Z"); null when it is neither.
export function parseReading(text) {
  const trimmed = text.trim();
  if (/^\d+$/.test(trimmed)) return Number(trimmed);
  const parsed = Date.parse(trimmed);
  return trimmed && !Number.isNaN(parsed) ? parsed : null;
}

export function createClock() {
  const output = $('#clock-result');
  let frozen = false;

  function render(answer) {
    const absent = answer.status === 404;
    $('#clock-missing').hidden = !absent;
    $('#clock-controls').disabled = absent;
    if (!answer.ok || !answer.data) {
      $('#clock-now').textContent = absent ? '' : `Clock not readable (${answer.status}).`;
      return;
    }
    frozen = answer.data.frozen === true;
    $('#clock-now').textContent = describeClock(answer.data);
    $('#clock-freeze').textContent = frozen ? 'Unfreeze' : 'Freeze';
  }

  async function refresh() {
    render(await call('GET', CLOCK));
  }

  async function change(method, path, body, success) {
    const answer = await call(method, path, body);
    showResult(output, answer, success);
    if (answer.ok) render(answer);
  }

  $('#clock-freeze').addEventListener('click',
    () => change('PUT', CLOCK, { frozen: !frozen }, frozen ? 'running' : 'frozen'));
  $('#clock-set').addEventListener('submit', (event) => {
    event.preventDefault();
    const now = parseReading($('#clock-set-now').value);
    if (now === null) {
      showResult(output, { ok: false, status: 0, message: 'type milliseconds or a date such as 2024-05-01T12:00:00Z' });
      return;
    }
    change('PUT', CLOCK, { now }, 'set');
  });
  $('#clock-advance').addEventListener('submit', (event) => {
    event.preventDefault();
    const step = event.submitter?.value || $('#clock-advance-ms').value;
    change('POST', `${CLOCK}/advance`, { ms: Number(step) }, 'advanced');
  });
  return { refresh };
}
