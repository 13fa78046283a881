// The console's start: reads the current state, follows the event stream and re-reads what an
// event says has changed, so the page stays current without reloads.

import { call, CLUBS, HOST } from './api.js';
import { $, showResult } from './dom.js';
import { followEvents } from './events.js';
import { createClock } from './clock.js';
import { createClubView } from './club_view.js';
import { createOtherPlayer } from './other_player.js';
import { createEventLog, createFaults, createToasts, createWorld } from './panels.js';
import { createWorldSnapshots } from './world_snapshots.js';
import { createRequests } from './requests.js';
import { createScenarios } from './scenarios.js';

const SESSION = '/zun-login/v1/session';
const TOASTS = '/player-notifications/v1/notifications';

const state = { membership: null, players: [], session: null };

// Re-reads coalesce: an event that arrives while a read runs makes one more read afterwards.
function refresher(read) {
  let running = null;
  let again = false;
  const run = async () => {
    if (running) {
      again = true;
      return running;
    }
    running = (async () => {
      do {
        again = false;
        await read();
      } while (again);
    })();
    try {
      await running;
    } finally {
      running = null;
    }
  };
  return run;
}

const clubView = createClubView(state, () => refreshMembership());
const otherPlayer = createOtherPlayer(state);
const toasts = createToasts($('#toast-list'));
const faults = createFaults();
const world = createWorld(() => refreshAll());
const snapshots = createWorldSnapshots(() => refreshAll());
const eventLog = createEventLog($('#event-list'), $('#event-filter'));
const clock = createClock();
const requests = createRequests();
const scenarios = createScenarios();

const refreshMembership = refresher(async () => {
  const answer = await call('GET', `${CLUBS}/membership`);
  state.membership = answer.ok ? answer.data : null;
  clubView.render(answer);
  otherPlayer.render();
});
const refreshToasts = refresher(async () => toasts.render(await call('GET', TOASTS)));
const refreshSession = refresher(async () => {
  const answer = await call('GET', SESSION);
  state.session = answer.ok ? answer.data : null;
  renderSession(answer);
});
const refreshPlayers = refresher(async () => {
  const answer = await call('GET', `${HOST}/clubs-service/players`);
  state.players = answer.ok && Array.isArray(answer.data) ? answer.data : [];
  otherPlayer.setPlayers();
  clubView.renderInviteChoices();
});
const refreshOther = refresher(() => otherPlayer.refresh());
const refreshClock = refresher(() => clock.refresh());

function refreshAll() {
  return Promise.all([
    refreshSession(), refreshPlayers().then(refreshMembership), refreshToasts(),
    refreshOther(), faults.refresh(), refreshClock(), requests.refresh(), scenarios.refresh(),
  ]);
}

function renderSession(answer) {
  const session = answer.data;
  const loggedIn = answer.ok && session && typeof session === 'object' && session.state !== 'LOGGED_OUT'
    && Object.keys(session).length > 0;
  const who = loggedIn ? session.username ?? session.displayName ?? session.summonerId ?? '' : '';
  $('#session-state').textContent = loggedIn
    ? `Logged in${who ? ` as ${who}` : ''} (${session.state ?? 'session'})`
    : 'Logged out';
  $('#logout').disabled = !loggedIn;
  $('#login').disabled = loggedIn;
}

function onEvent(event) {
  // The plugin sends each resource event twice (under its own name and "OnJsonApiEvent"):
  // the log keeps one copy.
  if (event.name.startsWith('OnJsonApiEvent_')) return;
  const uri = event.json?.uri ?? '';
  // Every change of a club or membership took a stamp from the clock.
  if (uri.startsWith('/zun-clubs/') || uri.startsWith('/zun-clubs-host/v1/clock')) refreshClock();
  // The journal's events (one per call of the plugin) go to its own panel, not the log.
  if (uri.startsWith(`${HOST}/requests`)) {
    requests.onEvent(event.json);
    return;
  }
  eventLog.add(event);
  if (uri.startsWith('/zun-clubs/')) {
    refreshMembership();
    refreshOther();
  } else if (uri.startsWith('/player-notifications/')) {
    refreshToasts();
  } else if (uri.startsWith('/zun-login/')) {
    refreshSession();
  } else if (uri.startsWith('/zun-summoner/')) {
    refreshPlayers();
  }
  if (/fault/i.test(event.name) || uri.includes('/faults')) faults.refresh();
  if (uri.startsWith(`${HOST}/scenarios`)) scenarios.refresh();
}

async function sessionAction(method, path) {
  const answer = await call(method, path);
  showResult($('#session-result'), answer);
  refreshSession();
}

$('#logout').addEventListener('click', () => sessionAction('DELETE', SESSION));
$('#login').addEventListener('click', () => sessionAction('POST', `${SESSION}/login`));
$('#clear-events').addEventListener('click', () => eventLog.clear());

followEvents(onEvent, (text) => {
  $('#stream-state').textContent = `Event stream: ${text}`;
  // After a reconnection the page may have missed events: read everything again.
  if (text === 'connected') refreshAll();
});
world.init();
snapshots.init();
scenarios.init();
