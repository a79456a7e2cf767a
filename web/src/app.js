// The explorer: shows the view named in the URL's fragment (so a view can be
// shared as a link and the back button works), and tells in the header when
// the gateway last answered or what went wrong.
'use strict';

(function (Tesmo) {
  const view = document.getElementById('view');
  const linkState = document.getElementById('link-state');
  const problem = document.getElementById('problem');
  let shown = null;

  Tesmo.OnExchange((error) => {
    if (error) {
      linkState.className = 'link-state link-down';
      linkState.textContent = error.kind === 'network' ? 'No answer from TesmoApi' : 'Last request failed';
      problem.textContent = error.message;
      problem.hidden = false;
    } else {
      linkState.className = 'link-state link-up';
      linkState.textContent = `Last answer ${Tesmo.ClockText(new Date())}`;
      problem.hidden = true;
    }
  });

  function Go(route) {
    const hash = Tesmo.RouteHash(route);
    if (hash !== location.hash) location.hash = hash;
  }

  function MarkTab(route) {
    for (const tab of document.querySelectorAll('[data-tab]')) {
      const on = (tab.dataset.tab === 'reference') === (route.view === 'reference');
      if (on) tab.setAttribute('aria-current', 'page');
      else tab.removeAttribute('aria-current');
    }
  }

  function Show() {
    const route = Tesmo.ParseRoute(location.hash);
    MarkTab(route);
    if (shown && shown.route.view === route.view && shown.handle && shown.handle.Update && shown.handle.Update(route) !== false) {
      shown.route = route;
      return;
    }
    if (shown) shown.controller.abort();
    const controller = new AbortController();
    view.replaceChildren();
    const go = (partial) => Go({ ...route, ...partial, view: route.view });
    const handle = Tesmo.Views[route.view](view, route, controller.signal, go);
    shown = { route, controller, handle };
    document.title = `TesmoApi · ${route.view === 'overview' ? 'plant' : route.view}${route.machine ? ' · ' + route.machine : ''}`;
    window.scrollTo(0, 0);
  }

  document.getElementById('zone').textContent = Tesmo.ZoneText(new Date());
  window.addEventListener('hashchange', Show);
  Show();
})(globalThis.Tesmo);
