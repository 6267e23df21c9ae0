// Put into a test's copy of the HTML report after axe-core (the report
// itself has no script). Writes, as JSON in a last element of its own, what
// axe-core finds against WCAG 2 A and AA and its best practices, and which
// column headings lie outside the window or outside the box their table
// scrolls in, at the window's width, and whether the page is wider.
(function () {
    'use strict';

    function offScreen() {
        var width = document.documentElement.clientWidth;
        var off = [];
        document.querySelectorAll('thead th').forEach(function (th) {
            var region = th.closest('[role=region]');
            var right = region ? Math.min(width, region.getBoundingClientRect().right) : width;
            var box = th.getBoundingClientRect();
            if (box.left < 0 || box.right > right + 0.5)
                off.push(th.textContent.replace(/\u00ad/g, ''));
        });
        return {width: width, pageWidth: document.documentElement.scrollWidth, off: off};
    }

    function say(result) {
        var pre = document.createElement('pre');
        pre.id = 'pagecheck';
        pre.textContent = JSON.stringify(result);
        document.body.appendChild(pre);
    }

    // Measured before axe-core runs and before the result is added to the page.
    var layout = offScreen();
    axe.run(document, {
        runOnly: {type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa',
                                        'best-practice']},
        resultTypes: ['violations']
    }).then(function (results) {
        say({
            width: layout.width,
            pageWidth: layout.pageWidth,
            offScreen: layout.off,
            violations: results.violations.map(function (rule) {
                return rule.id + ': ' + rule.help + ' (' + rule.nodes.length + ' elements, the first '
                    + rule.nodes[0].target.join(' ') + ')';
            })
        });
    }, function (error) {
        say({error: String(error)});
    });
})();
