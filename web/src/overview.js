// Plant overview: the groups with their status and their machines, filtered
// by group and status, refreshed every few seconds.
'use strict';

(function (Tesmo) {
  const El = Tesmo.El;
  Tesmo.Views = Tesmo.Views || {};
  Tesmo.kRefreshMs = 5000;

  function Option(value, text, selected) {
    return El('option', { value, selected: value === selected }, text);
  }

  function MachineTile(machine) {
    const href = Tesmo.RouteHash({ view: 'machine', machine: machine.id });
    return El('li', null, El('a', { class: 'tile tile-' + machine.status, href, 'data-machine': machine.id },
      El('span', { class: 'tile-name' }, machine.name), Tesmo.StatusBadge(machine.status)));
  }

  function GroupCard(group, machines, filtered) {
    const body = machines.length
      ? El('ul', { class: 'tiles' }, machines.map(MachineTile))
      : Tesmo.Notice(filtered ? 'No machine of this group has that status.' : 'No machines in this group.');
    return El('section', { class: 'card group', 'data-group': group.id },
      El('header', { class: 'card-head' }, El('h2', null, group.name), Tesmo.StatusBadge(group.status)), body);
  }

  Tesmo.Views.overview = function (root, route, signal, go) {
    let filter = { group: route.group, status: route.status };
    let groups = null;
    let machines = null;
    let problem = null;
    let answeredAt = null;

    const groupSelect = El('select', { id: 'filter-group', onchange: () => go({ ...filter, group: groupSelect.value }) });
    const statusSelect = El('select', { id: 'filter-status', onchange: () => go({ ...filter, status: statusSelect.value }) },
      Option('', 'All statuses', filter.status), Tesmo.kStatuses.slice().reverse().map((s) => Option(s, s, filter.status)));
    const counts = El('div', { class: 'counts', role: 'group', 'aria-label': 'Machines by status' });
    const stamp = El('p', { class: 'stamp', id: 'overview-stamp' });
    const content = El('div', { class: 'groups', id: 'groups' });
    root.append(
      El('div', { class: 'view-head' }, El('h1', null, 'Plant overview'), stamp),
      El('div', { class: 'toolbar' },
        El('label', null, 'Group ', groupSelect), El('label', null, 'Status ', statusSelect), counts),
      content);

    function DrawGroupOptions() {
      groupSelect.replaceChildren(Option('', 'All groups', filter.group),
        ...groups.map((g) => Option(g.id, g.name, filter.group)));
    }

    function DrawCounts(inGroup) {
      const buttons = [El('button', { type: 'button', 'aria-pressed': String(!filter.status), onclick: () => go({ ...filter, status: '' }) },
        `All ${inGroup.length}`)];
      for (const status of Tesmo.kStatuses.slice().reverse()) {
        const count = inGroup.filter((m) => m.status === status).length;
        buttons.push(El('button', {
          type: 'button', class: 'count', 'data-status': status, 'aria-pressed': String(filter.status === status),
          onclick: () => go({ ...filter, status: filter.status === status ? '' : status }),
        }, Tesmo.StatusBadge(status), ' ', El('span', { class: 'count-number' }, String(count))));
      }
      counts.replaceChildren(...buttons);
    }

    // Redraws only what changed, so that a refresh with the same answer
    // leaves the page (and the keyboard focus) as it was.
    let drawn = '';
    function Draw() {
      stamp.textContent = answeredAt ? `Updated ${Tesmo.ClockText(answeredAt)}, every ${Tesmo.kRefreshMs / 1000} s` : '';
      const key = JSON.stringify([groups, machines, filter, problem && problem.message, problem && answeredAt && answeredAt.getTime()]);
      if (key === drawn) return;
      drawn = key;
      const parts = [];
      if (problem) {
        parts.push(Tesmo.Notice(problem.message + (answeredAt ? ` Showing the last answer, from ${Tesmo.ClockText(answeredAt)}.` : ''), 'error'));
      }
      if (groups) {
        DrawGroupOptions();
        const shownGroups = groups.filter((g) => !filter.group || g.id === filter.group);
        const inGroup = machines.filter((m) => !filter.group || m.group_id === filter.group);
        DrawCounts(inGroup);
        for (const group of shownGroups) {
          const listed = machines.filter((m) => m.group_id === group.id && (!filter.status || m.status === filter.status));
          if (filter.status && !listed.length && !filter.group) continue;
          parts.push(GroupCard(group, listed, Boolean(filter.status)));
        }
        if (!parts.some((p) => p.classList.contains('group'))) parts.push(Tesmo.Notice('No machine matches this filter.'));
      } else if (!problem) {
        parts.push(Tesmo.Notice('Asking the gateway for the plant…'));
      }
      content.replaceChildren(...parts);
    }

    Tesmo.Every(Tesmo.kRefreshMs, signal, async () => {
      try {
        const [nextGroups, nextMachines] = await Promise.all([Tesmo.Ask('groups', {}, signal), Tesmo.Ask('machines', {}, signal)]);
        groups = nextGroups;
        machines = nextMachines;
        answeredAt = new Date();
        problem = null;
      } catch (error) {
        if (error.name === 'AbortError') throw error;
        problem = error;
      }
      Draw();
    });

    return {
      Update(next) {
        filter = { group: next.group, status: next.status };
        statusSelect.value = filter.status;
        Draw();
      },
    };
  };
})(globalThis.Tesmo = globalThis.Tesmo || {});
